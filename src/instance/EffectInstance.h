// One plug-in instance, whatever the format: the effect definition with its
// processor, seen through parameter indices, normalised values, blocks of
// stereo samples and a saved state.
//
// Threads. Process and SetNormalizedValue are real-time safe: they allocate
// nothing, take no lock and make no system call, and SetNormalizedValue may
// come from any thread while another processes. Reset, LoadState and the
// text conversions belong to one non-real-time thread at a time. An open
// editor finds a value set here at its next idle.
#pragma once

#include "instance/ParameterChange.h"
#include "instance/ParameterInfo.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TEffParameters;
class TEffectEditor;
class TVSTParameter;
struct TSettingChange;

class TEffectInstance {
public:
  // Builds the processor at once: nothing expensive is left for processing.
  explicit TEffectInstance(double sampleRate);
  // Positive, finite and no higher than any audio interface runs: what the
  // formats accept from a host.
  static bool UsableSampleRate(double rate) { return rate > 0 && rate <= kMaxSampleRate; }
  static constexpr double kMaxSampleRate = 10'000'000.0;
  // Takes over a definition whose processor comes once its parameter host
  // has been told a sample rate and a block size, for a format whose host
  // tells them itself; until then Process does nothing.
  explicit TEffectInstance(std::unique_ptr<TEffParameters> definition);
  ~TEffectInstance();
  TEffectInstance(const TEffectInstance&) = delete;
  TEffectInstance& operator=(const TEffectInstance&) = delete;

  // Gain, Intensity, Out Gain, and Bypass last.
  static constexpr std::int32_t kParameterCount = 4;
  static constexpr std::int32_t kBypassIndex = kParameterCount - 1;
  // index in [0, kParameterCount): callers check it through ParameterIndex.
  static const TParameterInfo& Parameter(std::int32_t index);
  // -1 for an unknown id.
  static std::int32_t ParameterIndex(std::int32_t id);

  // In [0, 1]; 0 for a bad index.
  double NormalizedValue(std::int32_t index) const;
  // Any thread, real-time safe. The value is rounded to a float first and
  // then to the nearest of the parameter's steps; NaN counts as 0; a bad
  // index does nothing.
  void SetNormalizedValue(std::int32_t index, double value);
  // The amount a modulating host adds to the value for processing alone, in
  // host-value units (a fraction of the range), until another replaces it:
  // the value, its texts and the saved state never see it. Continuous
  // parameters only; any thread, real-time safe. The editor shows it.
  double Modulation(std::int32_t index) const;
  void SetModulation(std::int32_t index, double amount);
  // Every amount back to 0.
  void ClearModulation();
  double NormalizedToPlain(std::int32_t index, double normalized) const;
  // Clamped to [0, 1].
  double PlainToNormalized(std::int32_t index, double plain) const;
  // The display text of the step `normalized` falls on, without the unit.
  std::string ValueText(std::int32_t index, double normalized) const;
  // A value typed in the parameter's unit ("-6,5 dB", "75"), either decimal
  // separator; nothing when it cannot be read.
  std::optional<double> TextToNormalized(std::int32_t index, std::string_view text) const;

  // Starts again from silence.
  void Reset();
  // Stereo: inputs[0], inputs[1] to outputs[0], outputs[1]. One buffer on
  // both inputs is the mono route; outputs may be the inputs. frames <= 0 or
  // a null buffer does nothing.
  void Process(const float* const* inputs, float* const* outputs, std::int32_t frames);
  // The same with changes inside the call, in frame order: each takes effect
  // from its frame on, bit for bit as if the call were cut there and the
  // value (or modulation) set in between, but in one pass; afterwards every
  // parameter holds its last value and its last modulation. Real-time safe.
  void Process(const float* const* inputs, float* const* outputs, std::int32_t frames,
               std::span<const TParameterChange> changes);
  // Frames the output lags the input, bypassed or not.
  std::int32_t Latency() const;
  // Frames the output still carries after the input stops.
  std::int32_t Tail() const;
  // The soft bypass: the input, delayed by the latency, after a short
  // crossfade. Any thread.
  void SetBypass(bool bypass);
  bool Bypass() const;

  // What a saved state holds: the values' record (every value and the
  // bypass), the editor's record (the kept zoom, written only when one is
  // kept), or both in that order.
  enum TStateParts : unsigned { spValues = 1, spEditor = 2, spAll = 3 };
  std::vector<std::uint8_t> SaveState(TStateParts parts = spValues) const;
  // Reads what SaveState wrote with the same parts. The values' record must
  // be whole and of this version or older: otherwise the call fails with
  // nothing changed. Whatever follows it that is not an editor record of this
  // version (a newer one, a kind this build does not know) is skipped, and
  // the values still load. With spEditor the kept zoom becomes the one read,
  // or none.
  bool LoadState(std::span<const std::uint8_t> bytes, TStateParts parts = spValues);

  // The editor zoom kept with this instance, for formats that save the
  // editor's state with it: nothing (the user's settings apply), 0 to follow
  // the host, or a zoom of 1 to 3. An editor opened here starts at it. Any
  // thread.
  std::optional<double> EditorZoom() const;
  void SetEditorZoom(std::optional<double> zoom);

private:
  friend class TEffectEditor;
  TEffParameters& Definition() const { return *FDefinition; }
  TVSTParameter* ModelParameter(std::int32_t index) const;
  bool ApplyValues(std::span<const std::uint8_t> record);
  // Frames from to to of the call, with the settings changes inside them.
  void ProcessPass(const float* const* inputs, float* const* outputs, std::int32_t from,
                   std::int32_t to, std::span<const TSettingChange> changes);

  std::unique_ptr<TEffParameters> FDefinition;
  // The settings changes of one pass, audio thread only; a call with more
  // changes is processed in several passes.
  static constexpr std::size_t kChangesPerPass = 256;
  std::unique_ptr<TSettingChange[]> FSettingChanges;
  // In whole percent; kNoEditorZoom when nothing is kept.
  static constexpr int kNoEditorZoom = -1;
  std::atomic<int> FEditorZoomPercent{kNoEditorZoom};
};
