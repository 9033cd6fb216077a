// The VST3 bundle through the VST3 test host. Values set between blocks go
// to the controller, as a host's own edits do, and to the processor as
// points at the start of the next block; the state is the component's
// stream (the values) and the controller's (the editor).
#include "FormatDriver.h"
#include "OurPlugin.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace formats {
namespace {

using namespace vst3host;

#ifdef _WIN32
constexpr const char* kPlatformType = "HWND";
#else
constexpr const char* kPlatformType = "X11EmbedWindowID";
#endif

// IDs the plug-in does not have, which it must pass over.
constexpr v3_param_id kForeignIds[] = {99, 0xFFFFFFFF};

class TVst3Driver final : public TFormatDriver {
public:
  TVst3Driver() { FOurs.Ctrl().set_component_handler(FOurs.Controller(), FHandler.Handler()); }
  ~TVst3Driver() override { CloseEditor(); }

  void Start(double rate, std::uint32_t maxBlock) override {
    EXPECT_TRUE(FOurs.Plugin.Start(rate, static_cast<std::int32_t>(maxBlock)));
  }

  void Set(int param, double value) override {
    const double normalised = Normalised(param, value);
    FOurs.Ctrl().set_parameter_normalised(FOurs.Controller(), static_cast<v3_param_id>(param),
                                          normalised);
    FPending.push_back({0, param, value});
  }

  std::optional<double> Value(int param) const override {
    return InUnits(param, FOurs.Ctrl().get_parameter_normalised(FOurs.Controller(),
                                                                static_cast<v3_param_id>(param)));
  }

  int Latency() override {
    return static_cast<int>(FOurs.Proc().get_latency_samples(FOurs.Processor()));
  }

  TUnsupported CannotUse(TLayout layout) const override {
    if (layout == TLayout::OneChannelInput || layout == TLayout::NullSecondInput)
      return "the VST3 input bus is stereo: hosts hand it two channels";
    return std::nullopt;
  }

  bool Process(std::span<float* const> inputs, float* const* outputs, std::uint32_t frames,
               std::span<const TChange> changes) override {
    TParameterChanges queues;
    for (const TChange& change : FPending)
      queues.Add(static_cast<v3_param_id>(change.Param), 0, Normalised(change.Param, change.Value));
    FPending.clear();
    for (const TChange& change : changes)
      queues.Add(static_cast<v3_param_id>(change.Param), static_cast<std::int32_t>(change.Frame),
                 Normalised(change.Param, change.Value));
    if (FForeign)
      for (const v3_param_id id : kForeignIds)
        queues.Add(id, static_cast<std::int32_t>(frames / 2), 0.5);
    return FOurs.Plugin.Process(inputs.data(), outputs, static_cast<std::int32_t>(frames),
                                queues.Changes()) == V3_OK;
  }

  TUnsupported CannotTakeChangesInsideABlock() const override { return std::nullopt; }
  TUnsupported CannotSendForeignEvents() const override { return std::nullopt; }
  void SendForeignEvents(bool send) override { FForeign = send; }

  TUnsupported CannotAccumulate() const override {
    return "VST3 processing always replaces, and a host that adds the output onto its bus rounds "
           "twice "
           "where the plug-in's own accumulating call rounds once";
  }
  void ProcessAccumulating(float* const*, float* const*, std::uint32_t) override {}

  TUnsupported CannotKeepState() const override { return std::nullopt; }

  std::optional<TSavedState> SaveState() override {
    TMemoryStream values;
    TMemoryStream editor;
    if (FOurs.Comp().get_state(FOurs.Component(), values.Stream()) != V3_OK ||
        FOurs.Ctrl().get_state(FOurs.Controller(), editor.Stream()) != V3_OK)
      return std::nullopt;
    return TSavedState{values.Bytes(), editor.Bytes()};
  }

  // As hosts restore a project: the component's stream to the component and
  // to the controller, then the controller's own, unless the values were refused.
  bool LoadState(const TSavedState& state) override {
    TMemoryStream forComponent(state.Values);
    TMemoryStream forController(state.Values);
    const bool component =
        FOurs.Comp().set_state(FOurs.Component(), forComponent.Stream()) == V3_OK;
    const bool controller =
        FOurs.Ctrl().set_component_state(FOurs.Controller(), forController.Stream()) == V3_OK;
    if (!component || !controller)
      return false;
    TMemoryStream editor(state.Editor);
    return FOurs.Ctrl().set_state(FOurs.Controller(), editor.Stream()) == V3_OK;
  }

  int StateChangeNotices() const override { return FHandler.DirtyMarks; }

  bool OpenEditor(std::uintptr_t parent) override {
    FView = TRef<v3_plugin_view_cpp>(reinterpret_cast<v3_plugin_view_cpp**>(
        FOurs.Ctrl().create_view(FOurs.Controller(), "editor")));
    if (!FView || FView->view.set_frame(FView.Get(), FFrame.Frame()) != V3_OK)
      return false;
    return FView->view.attached(FView.Get(), reinterpret_cast<void*>(parent), kPlatformType) ==
           V3_OK;
  }
  void CloseEditor() override {
    if (FView)
      FView->view.removed(FView.Get());
    FView.Reset();
  }
  void RunEventLoopOnce() override { FFrame.Pump(); }

  std::vector<TEditEvent> TakeEditEvents() override {
    std::vector<TEditEvent> events;
    for (const THandlerEvent& e : std::exchange(FHandler.Events, {})) {
      const int param = static_cast<int>(e.Id);
      if (e.Kind == THandlerEvent::heBegin)
        events.push_back({TEditEvent::Begin, param, 0});
      else if (e.Kind == THandlerEvent::hePerform)
        events.push_back({TEditEvent::Perform, param, InUnits(param, e.Value)});
      else if (e.Kind == THandlerEvent::heEnd)
        events.push_back({TEditEvent::End, param, 0});
    }
    return events;
  }

  int ResizeRequests() const override { return static_cast<int>(FFrame.ResizeRequests.size()); }

private:
  // The handler and the frame outlive the instance that holds them.
  TComponentHandler FHandler;
  TPlugFrame FFrame;
  TOurPlugin FOurs;
  TRef<v3_plugin_view_cpp> FView;
  std::vector<TChange> FPending;
  bool FForeign = false;
};

} // namespace

std::unique_ptr<TFormatDriver> MakeVst3Driver() {
  return std::make_unique<TVst3Driver>();
}

} // namespace formats
