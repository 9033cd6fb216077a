// The VST 2 build through the tools' host library. VST 2 has no changes
// inside a block: a host that automates at a frame cuts the block there and
// sets the value in between, and so does this driver.
#include "FormatDriver.h"
#include "hostlib/Editor.h"
#include "hostlib/PluginHost.h"
#include "vst/DAEffectX.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace formats {
namespace {

// The host's soft bypass request.
constexpr VstInt32 kEffSetBypass = 44;

std::shared_ptr<const glowrasp::host::PluginLibrary> Library() {
  static const auto library =
      std::make_shared<const glowrasp::host::PluginLibrary>(GLOWRASP_PLUGIN_PATH);
  return library;
}

class TVstDriver final : public TFormatDriver {
public:
  TVstDriver() {
    FPlugin.onHostCall([this](VstInt32 opcode, VstInt32 index, float value) {
      if (opcode == audioMasterBeginEdit)
        FEditEvents.push_back({TEditEvent::Begin, index, 0});
      else if (opcode == audioMasterAutomate)
        FEditEvents.push_back({TEditEvent::Perform, index, InUnits(index, value)});
      else if (opcode == audioMasterEndEdit)
        FEditEvents.push_back({TEditEvent::End, index, 0});
    });
    FPlugin.onSizeWindow([this](int, int) {
      ++FResizeRequests;
      return true;
    });
  }

  void Start(double rate, std::uint32_t maxBlock) override {
    FPlugin.setSampleRate(static_cast<float>(rate));
    FPlugin.setBlockSize(static_cast<int>(maxBlock));
    FPlugin.resume();
  }

  void Set(int param, double value) override {
    if (param == kBypass)
      FPlugin.dispatch(kEffSetBypass, 0, value >= 0.5 ? 1 : 0);
    else
      FPlugin.setParameter(param, static_cast<float>(Normalised(param, value)));
  }

  std::optional<double> Value(int param) const override {
    if (param == kBypass)
      return std::nullopt;
    return InUnits(param, FPlugin.getParameter(param));
  }

  int Latency() override { return FPlugin.initialDelay(); }

  TUnsupported CannotUse(TLayout layout) const override {
    if (layout == TLayout::OneChannelInput || layout == TLayout::NullSecondInput)
      return "a VST 2 host passes one pointer per input the record declares, two";
    return std::nullopt;
  }

  bool Process(std::span<float* const> inputs, float* const* outputs, std::uint32_t frames,
               std::span<const TChange> changes) override {
    std::uint32_t done = 0;
    for (std::size_t i = 0; i <= changes.size(); ++i) {
      const std::uint32_t until = i < changes.size() ? std::min(changes[i].Frame, frames) : frames;
      if (until > done) {
        float* in[2] = {inputs[0] + done, inputs[1] + done};
        float* out[2] = {outputs[0] + done, outputs[1] + done};
        FPlugin.processReplacing(in, out, static_cast<int>(until - done));
        done = until;
      }
      if (i < changes.size())
        Set(changes[i].Param, changes[i].Value);
    }
    return true;
  }

  TUnsupported CannotTakeChangesInsideABlock() const override {
    return "VST 2 sets values between calls only: its hosts cut the block at a change";
  }
  TUnsupported CannotSendForeignEvents() const override {
    return "VST 2 processing takes no events";
  }
  void SendForeignEvents(bool) override {}

  TUnsupported CannotAccumulate() const override { return std::nullopt; }
  void ProcessAccumulating(float* const* inputs, float* const* outputs,
                           std::uint32_t frames) override {
    FPlugin.process(const_cast<float**>(inputs), const_cast<float**>(outputs),
                    static_cast<int>(frames));
  }

  TUnsupported CannotKeepState() const override {
    return "the VST 2 build keeps no chunk: its hosts save the parameter values themselves";
  }
  std::optional<TSavedState> SaveState() override { return std::nullopt; }
  bool LoadState(const TSavedState&) override { return false; }
  int StateChangeNotices() const override { return 0; }

  bool OpenEditor(std::uintptr_t parent) override {
    try {
      FEditor =
          std::make_unique<glowrasp::host::OpenEditor>(FPlugin, reinterpret_cast<void*>(parent));
    } catch (const glowrasp::host::HostError&) {
      return false;
    }
    return true;
  }
  void CloseEditor() override { FEditor.reset(); }
  void RunEventLoopOnce() override { FPlugin.dispatch(effEditIdle); }
  std::vector<TEditEvent> TakeEditEvents() override { return std::exchange(FEditEvents, {}); }
  int ResizeRequests() const override { return FResizeRequests; }

private:
  glowrasp::host::Plugin FPlugin{Library()};
  std::unique_ptr<glowrasp::host::OpenEditor> FEditor;
  std::vector<TEditEvent> FEditEvents;
  int FResizeRequests = 0;
};

} // namespace

std::unique_ptr<TFormatDriver> MakeVstDriver() {
  return std::make_unique<TVstDriver>();
}

} // namespace formats
