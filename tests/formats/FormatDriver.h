// One plug-in format as the cross-format suite drives it: a thin layer over
// that format's test host, speaking in the parameters' own units (dB, %, and
// the bypass as 0 or 1), so that every case is written once. What a format
// cannot do, its driver says in words, and the case is skipped with them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace formats {

enum TParam : int { kGain = 0, kIntensity = 1, kOutGain = 2, kBypass = 3, kParamCount = 4 };

// The host-side float of the VST 2 build for a value in its unit.
inline double Normalised(int param, double value) {
  return param == kIntensity ? value / 100.0 : param == kBypass ? value : value / 96.0 + 0.5;
}
inline double InUnits(int param, double normalised) {
  return param == kIntensity ? normalised * 100.0
         : param == kBypass  ? normalised
                             : (normalised - 0.5) * 96.0;
}

// A parameter change at a frame of a block.
struct TChange {
  std::uint32_t Frame;
  int Param;
  double Value;
};

// How the host lays out the buffers of a block.
enum class TLayout {
  Stereo,          // two distinct inputs, two distinct outputs
  MonoRoute,       // one buffer as both inputs
  InPlace,         // the outputs are the inputs
  MonoInPlace,     // one buffer as both inputs and as the first output
  OneChannelInput, // an input of one channel only
  NullSecondInput, // two input channels, the second one null
};

// What the editor told the host, in order.
struct TEditEvent {
  enum TKind { Begin, Perform, End } Kind;
  int Param;
  double Value; // Perform only, in the parameter's unit
};

// A saved instance: the values' record and the editor's record, as the format
// keeps them (one stream after the other, or one stream each).
struct TSavedState {
  std::vector<std::uint8_t> Values;
  std::vector<std::uint8_t> Editor;
  bool operator==(const TSavedState&) const = default;
};

// Empty when the driver can; else why the format cannot.
using TUnsupported = std::optional<std::string>;

class TFormatDriver {
public:
  virtual ~TFormatDriver() = default;

  // Sample rate and largest block, then ready to process.
  virtual void Start(double rate, std::uint32_t maxBlock) = 0;
  // A value set by the host between blocks.
  virtual void Set(int param, double value) = 0;
  // The value the instance reports, where the format lets the host read it.
  virtual std::optional<double> Value(int param) const = 0;
  virtual int Latency() = 0;

  virtual TUnsupported CannotUse(TLayout layout) const = 0;
  // One block: `inputs` holds one pointer per input channel; `changes` are
  // in frame order, and one at or beyond the block's end takes effect after
  // it. False when the format reported a failure.
  virtual bool Process(std::span<float* const> inputs, float* const* outputs, std::uint32_t frames,
                       std::span<const TChange> changes) = 0;
  // Changes at frames inside one call, as opposed to a host that cuts the block.
  virtual TUnsupported CannotTakeChangesInsideABlock() const = 0;
  // Foreign events the plug-in must pass over, sent along with every block.
  virtual TUnsupported CannotSendForeignEvents() const = 0;
  virtual void SendForeignEvents(bool send) = 0;
  // Adding onto what the outputs hold, in the plug-in.
  virtual TUnsupported CannotAccumulate() const = 0;
  virtual void ProcessAccumulating(float* const* inputs, float* const* outputs,
                                   std::uint32_t frames) = 0;

  virtual TUnsupported CannotKeepState() const = 0;
  virtual std::optional<TSavedState> SaveState() = 0;
  virtual bool LoadState(const TSavedState& state) = 0;
  // How often the plug-in told the host that its state changed.
  virtual int StateChangeNotices() const = 0;

  // The editor embedded in the host's window `parent` (an X window or an
  // HWND); false when it did not open.
  virtual bool OpenEditor(std::uintptr_t parent) = 0;
  virtual void CloseEditor() = 0;
  // One turn of the host's event loop, which the editor runs on.
  virtual void RunEventLoopOnce() = 0;
  // What the editor told the host since the last call.
  virtual std::vector<TEditEvent> TakeEditEvents() = 0;
  // How often the editor asked the host for a window of a new size.
  virtual int ResizeRequests() const = 0;
};

struct TFormat {
  const char* Name;
  std::unique_ptr<TFormatDriver> (*Make)();
};

std::unique_ptr<TFormatDriver> MakeVstDriver();
std::unique_ptr<TFormatDriver> MakeVst3Driver();
std::unique_ptr<TFormatDriver> MakeClapDriver();
std::unique_ptr<TFormatDriver> MakeLv2Driver();

// The formats this platform's builds make.
std::span<const TFormat> Formats();

} // namespace formats
