// The CLAP plug-in through the CLAP test host. Values set between blocks go
// through the params extension's flush, as hosts send them without audio;
// the state is one stream, the values' record and then the editor's.
#include "ClapTestSupport.h"
#include "FormatDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace formats {
namespace {

using namespace glowrasp::clap_test;

#ifdef _WIN32
constexpr const char* kWindowApi = CLAP_WINDOW_API_WIN32;
clap_window_t HostWindow(std::uintptr_t parent) {
  clap_window_t window{};
  window.api = kWindowApi;
  window.win32 = reinterpret_cast<clap_hwnd>(parent);
  return window;
}
#else
constexpr const char* kWindowApi = CLAP_WINDOW_API_X11;
clap_window_t HostWindow(std::uintptr_t parent) {
  clap_window_t window{};
  window.api = kWindowApi;
  window.x11 = parent;
  return window;
}
#endif

// Events no plug-in of ours acts on: another event space, a note, an
// unknown parameter, a value that is no number, a record too short.
void AddForeignEvents(TInputEvents& events, std::uint32_t time) {
  clap_event_param_value_t foreign{};
  foreign.header = {sizeof foreign, time, 7, CLAP_EVENT_PARAM_VALUE, 0};
  foreign.param_id = kGainId;
  foreign.value = 48.0;
  events.AddRaw(foreign.header);
  clap_event_note_t note{};
  note.header = {sizeof note, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON, 0};
  events.AddRaw(note.header);
  events.AddParamValue(time, 77, 1.0);
  events.AddParamValue(time, CLAP_INVALID_ID, 1.0);
  events.AddParamValue(time, kGainId, NAN);
  events.AddParamValue(time, kOutGainId, INFINITY);
  clap_event_param_value_t cut{};
  cut.header = {sizeof(clap_event_header_t), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE,
                0};
  events.AddRaw(cut.header);
}

// The length of the values' record at the start of a saved stream: its
// header, a (32-bit id, 32-bit step) pair per value, the bypass byte.
std::size_t ValuesRecordSize(const std::vector<std::uint8_t>& stream) {
  constexpr std::size_t kHeader = 8;
  if (stream.size() < kHeader)
    return stream.size();
  const std::size_t count = stream[6] | static_cast<std::size_t>(stream[7]) << 8;
  return std::min(stream.size(), kHeader + 8 * count + 1);
}

class TClapDriver final : public TFormatDriver {
public:
  ~TClapDriver() override { CloseEditor(); }

  void Start(double rate, std::uint32_t maxBlock) override {
    EXPECT_TRUE(FHost->Activate(rate, 1, maxBlock));
    EXPECT_TRUE(FHost->StartProcessing());
  }

  void Set(int param, double value) override {
    TInputEvents events;
    events.AddParamValue(0, static_cast<clap_id>(param), value);
    FHost->Flush(&events, nullptr);
  }

  std::optional<double> Value(int param) const override {
    return FHost->Value(static_cast<clap_id>(param));
  }

  int Latency() override {
    const auto* latency = FHost->Extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
    return latency ? static_cast<int>(latency->get(FHost->Plugin())) : -1;
  }

  TUnsupported CannotUse(TLayout) const override { return std::nullopt; }

  bool Process(std::span<float* const> inputs, float* const* outputs, std::uint32_t frames,
               std::span<const TChange> changes) override {
    TInputEvents events;
    for (const TChange& change : changes)
      events.AddParamValue(change.Frame, static_cast<clap_id>(change.Param), change.Value);
    if (FForeign) {
      AddForeignEvents(events, 0);
      AddForeignEvents(events, frames / 2);
      AddForeignEvents(events, frames + 100); // beyond the block: taken at its end
    }
    std::vector<TPortBuffers> out{{{outputs[0], outputs[1]}}};
    return FHost->Process({{{inputs.begin(), inputs.end()}}}, out, frames, &events) ==
           CLAP_PROCESS_CONTINUE;
  }

  TUnsupported CannotTakeChangesInsideABlock() const override { return std::nullopt; }
  TUnsupported CannotSendForeignEvents() const override { return std::nullopt; }
  void SendForeignEvents(bool send) override { FForeign = send; }

  TUnsupported CannotAccumulate() const override {
    return "CLAP processing always replaces, and a host that adds the output onto its bus rounds "
           "twice "
           "where the plug-in's own accumulating call rounds once";
  }
  void ProcessAccumulating(float* const*, float* const*, std::uint32_t) override {}

  TUnsupported CannotKeepState() const override { return std::nullopt; }

  std::optional<TSavedState> SaveState() override {
    const auto stream = FHost->SaveState();
    if (!stream)
      return std::nullopt;
    const auto split = stream->begin() + static_cast<std::ptrdiff_t>(ValuesRecordSize(*stream));
    return TSavedState{{stream->begin(), split}, {split, stream->end()}};
  }

  bool LoadState(const TSavedState& state) override {
    std::vector<std::uint8_t> stream = state.Values;
    stream.insert(stream.end(), state.Editor.begin(), state.Editor.end());
    return FHost->LoadState(stream);
  }

  int StateChangeNotices() const override { return FHost->DirtyMarks; }

  bool OpenEditor(std::uintptr_t parent) override {
    const clap_plugin_t* plugin = FHost->Plugin();
    if (!Gui()->create(plugin, kWindowApi, false))
      return false;
    FEditorOpen = true;
    const clap_window_t window = HostWindow(parent);
    return Gui()->set_scale(plugin, 1.0) && Gui()->set_parent(plugin, &window) &&
           Gui()->show(plugin);
  }
  void CloseEditor() override {
    if (FEditorOpen)
      Gui()->destroy(FHost->Plugin());
    FEditorOpen = false;
  }
  void RunEventLoopOnce() override { FHost->RunEventLoopOnce(); }

  // What the plug-in has for the host: a flush's output.
  std::vector<TEditEvent> TakeEditEvents() override {
    TOutputEvents out;
    FHost->Flush(nullptr, &out);
    std::vector<TEditEvent> events;
    for (const TOutputEvent& e : out.Events) {
      const int param = static_cast<int>(e.Param);
      if (e.Type == CLAP_EVENT_PARAM_GESTURE_BEGIN)
        events.push_back({TEditEvent::Begin, param, 0});
      else if (e.Type == CLAP_EVENT_PARAM_VALUE)
        events.push_back({TEditEvent::Perform, param, e.Value});
      else if (e.Type == CLAP_EVENT_PARAM_GESTURE_END)
        events.push_back({TEditEvent::End, param, 0});
    }
    return events;
  }

  int ResizeRequests() const override { return FHost->ResizeRequests; }

private:
  const clap_plugin_gui_t* Gui() const { return FHost->Extension<clap_plugin_gui_t>(CLAP_EXT_GUI); }

  std::unique_ptr<TClapHost> FHost = NewPlugin(false);
  bool FEditorOpen = false;
  bool FForeign = false;
};

} // namespace

std::unique_ptr<TFormatDriver> MakeClapDriver() {
  return std::make_unique<TClapDriver>();
}

} // namespace formats
