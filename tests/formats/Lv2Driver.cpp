// The LV2 bundle: its DSP made by lilv and its UI through the UI test host.
// A control port holds one value per run, so a host that automates at a
// frame cuts the run there, and so does this driver; lv2:enabled is the
// opposite of the bypass. What the UI writes goes to the DSP's ports, as a
// host forwards it.
#include "FormatDriver.h"
#include "LV2Instance.h"
#include "LV2UIHost.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace formats {
namespace {

constexpr std::uint32_t kParamPorts[] = {kGainPort, kIntensityPort, kOutGainPort, kEnabledPort};

int ParamOfPort(std::uint32_t port) {
  const auto at = std::find(std::begin(kParamPorts), std::end(kParamPorts), port);
  return at == std::end(kParamPorts) ? -1 : static_cast<int>(at - std::begin(kParamPorts));
}

class TLv2Driver final : public TFormatDriver {
public:
  TLv2Driver() { EXPECT_TRUE(*FInstance) << "lilv could not instantiate the plug-in"; }

  void Start(double rate, std::uint32_t) override {
    if (rate == FRate)
      return;
    std::array<float, kPortCount> controls{};
    for (std::uint32_t port = kGainPort; port < kPortCount; ++port)
      controls[port] = FInstance->Control(port);
    FInstance = std::make_unique<TLV2Instance>(FWorld, rate);
    FRate = rate;
    for (std::uint32_t port = kGainPort; port < kPortCount; ++port)
      FInstance->Control(port) = controls[port];
  }

  void Set(int param, double value) override {
    if (param == kBypass)
      FInstance->Control(kEnabledPort) = value >= 0.5 ? 0.0f : 1.0f;
    else
      FInstance->Control(kParamPorts[param]) = static_cast<float>(value);
  }

  // The control ports are the host's own memory: what it set.
  std::optional<double> Value(int param) const override {
    const float control = FInstance->Control(kParamPorts[param]);
    return param == kBypass ? (control > 0.0f ? 0.0 : 1.0) : control;
  }

  int Latency() override {
    FInstance->Run(nullptr, nullptr, nullptr, nullptr, 0);
    return static_cast<int>(FInstance->Control(kLatencyPort));
  }

  TUnsupported CannotUse(TLayout layout) const override {
    if (layout == TLayout::OneChannelInput)
      return "an LV2 audio port is one channel: the plug-in has two input ports";
    if (layout == TLayout::NullSecondInput)
      return "an LV2 run with an unconnected audio port does nothing (the port tests check it)";
    return std::nullopt;
  }

  bool Process(std::span<float* const> inputs, float* const* outputs, std::uint32_t frames,
               std::span<const TChange> changes) override {
    std::uint32_t done = 0;
    for (std::size_t i = 0; i <= changes.size(); ++i) {
      const std::uint32_t until = i < changes.size() ? std::min(changes[i].Frame, frames) : frames;
      if (until > done || (frames == 0 && i == changes.size())) {
        FInstance->Run(inputs[0] + done, inputs[1] + done, outputs[0] + done, outputs[1] + done,
                       until - done);
        done = until;
      }
      if (i < changes.size())
        Set(changes[i].Param, changes[i].Value);
    }
    return true;
  }

  TUnsupported CannotTakeChangesInsideABlock() const override {
    return "an LV2 control port holds one value per run: its hosts cut the run at a change";
  }
  TUnsupported CannotSendForeignEvents() const override {
    return "the LV2 plug-in has no event port";
  }
  void SendForeignEvents(bool) override {}

  TUnsupported CannotAccumulate() const override {
    return "an LV2 run always replaces, and a host that adds the output onto its bus rounds twice "
           "where the plug-in's own accumulating call rounds once";
  }
  void ProcessAccumulating(float* const*, float* const*, std::uint32_t) override {}

  TUnsupported CannotKeepState() const override {
    return "the LV2 plug-in has no state extension: its hosts keep the control ports' values";
  }
  std::optional<TSavedState> SaveState() override { return std::nullopt; }
  bool LoadState(const TSavedState&) override { return false; }
  int StateChangeNotices() const override { return 0; }

  bool OpenEditor(std::uintptr_t parent) override {
    return FUI.Open(static_cast<Window>(parent)) != nullptr;
  }
  void CloseEditor() override { FUI.Close(); }
  void RunEventLoopOnce() override { FUI.Idle(); }

  std::vector<TEditEvent> TakeEditEvents() override {
    std::vector<TEditEvent> events;
    for (const THostEvent& e : std::exchange(FUI.Events, {})) {
      const int param = ParamOfPort(e.Port);
      if (e.Kind == THostEvent::heWrite && param >= 0)
        FInstance->Control(e.Port) = e.Value;
      const auto kind = e.Kind == THostEvent::heGrab    ? TEditEvent::Begin
                        : e.Kind == THostEvent::heWrite ? TEditEvent::Perform
                                                        : TEditEvent::End;
      events.push_back({kind, param, kind == TEditEvent::Perform ? e.Value : 0.0});
    }
    return events;
  }

  int ResizeRequests() const override { return static_cast<int>(FUI.Resizes.size()); }

private:
  TLilvWorld FWorld;
  double FRate = 44100.0;
  std::unique_ptr<TLV2Instance> FInstance = std::make_unique<TLV2Instance>(FWorld, FRate);
  TUIHost FUI;
};

} // namespace

std::unique_ptr<TFormatDriver> MakeLv2Driver() {
  return std::make_unique<TLv2Driver>();
}

} // namespace formats
