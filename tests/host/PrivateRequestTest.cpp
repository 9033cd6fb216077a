// This plug-in's private requests (message recorder, editor pixels, editor
// pointer input) answer only when `value` carries the private key in full:
// another host's vendor-specific traffic, whatever its index, does nothing.
#include "HostTestSupport.h"
#include "hostlib/Editor.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace glowrasp::hosttest {
namespace {

std::vector<std::string> gIntercepted;
void VSTCALLBACK Intercept(const char* text) {
  gIntercepted.emplace_back(text);
}

// A message box from the plug-in: an editor for a parent window that does
// not exist.
void ProvokeMessage(const host::Plugin& plugin) {
  plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{0x7fff}));
}

// Values a host might send that are not the key: small numbers, the key's
// neighbours, the key with its top bit flipped, and (on 64-bit builds) the
// key's low half alone.
std::vector<VstIntPtr> WrongKeys() {
  constexpr auto topBit = static_cast<VstIntPtr>(std::uintptr_t{1} << (8 * sizeof(void*) - 1));
  std::vector<VstIntPtr> keys{0,
                              1,
                              -1,
                              kPrivateRequestKey + 1,
                              kPrivateRequestKey - 1,
                              kPrivateRequestKey ^ topBit,
                              kEditorSnapshotCode};
  const auto lowHalf = static_cast<VstIntPtr>(static_cast<std::uint32_t>(kPrivateRequestKey));
  if (lowHalf != kPrivateRequestKey)
    keys.push_back(lowHalf);
  return keys;
}

} // namespace

TEST(PrivateRequests, WithoutTheKeyAreAnsweredZeroAndDoNothing) {
  host::Plugin plugin(Library());
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(512);
  plugin.resume();
  int automations = 0;
  plugin.onAutomation([&](int, float) { ++automations; });
  const TMessageRecording messages(plugin);
  const host::OpenEditor editor(plugin, nullptr);
  const int width = editor.size().width;
  const int height = editor.size().height;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0x12345678);
  TEditorSnapshot snapshot{width, height, pixels.data()};
  const float gain = plugin.getParameter(0);
  // A drag upwards from the first knob's centre.
  const TEditorPointer drag[] = {
      {epPress, 0, 8, 67, 89}, {epMove, 0, 8, 67, 60}, {epRelease, 0, 0, 67, 60}};

  for (const VstIntPtr key : WrongKeys()) {
    EXPECT_EQ(plugin.dispatch(effVendorSpecific, kMessageRecorderCode, key,
                              reinterpret_cast<void*>(&Intercept)),
              0)
        << key;
    EXPECT_EQ(plugin.dispatch(effVendorSpecific, kEditorSnapshotCode, key, &snapshot), 0) << key;
    for (TEditorPointer pointer : drag)
      EXPECT_EQ(plugin.dispatch(effVendorSpecific, kEditorPointerCode, key, &pointer), 0) << key;
  }
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0x12345678u),
            static_cast<std::ptrdiff_t>(pixels.size()));
  EXPECT_EQ(plugin.getParameter(0), gain);
  EXPECT_EQ(automations, 0);
  ProvokeMessage(plugin);
  EXPECT_TRUE(gIntercepted.empty());
  EXPECT_EQ(TMessageRecording::Texts().size(), 1u);

  // The same requests with the key.
  ASSERT_EQ(plugin.dispatch(effEditOpen), 1);
  EXPECT_EQ(plugin.privateRequest(kEditorSnapshotCode, &snapshot), 1);
  for (TEditorPointer pointer : drag)
    EXPECT_EQ(plugin.privateRequest(kEditorPointerCode, &pointer), 1);
  EXPECT_GT(plugin.getParameter(0), gain);
}

} // namespace glowrasp::hosttest
