// Knob gestures made in the editor on the main thread, waiting for the next
// process or flush call on the audio thread to reach the host as events.
// Each parameter's pending begin, value and end share one atomic word, so the
// two threads agree without a lock and without ordering beyond that word.
#pragma once

#include "instance/EffectInstance.h"

#include <array>
#include <atomic>
#include <cstdint>

enum class TClapEditStep { Begin, Value, End };

class TClapOutgoingEdits {
public:
  // Editor side; indices outside the parameters are ignored.
  void Begin(std::int32_t index);
  void Perform(std::int32_t index, double normalized);
  void End(std::int32_t index);

  // Audio side: every pending step, parameter by parameter, each in the
  // order begin, value, end. `emit(index, step, normalized)` must not block.
  template <class TEmit>
  void Drain(TEmit&& emit);

private:
  static constexpr std::uint64_t kValueBits = 0xffffffffu;
  static constexpr std::uint64_t kValuePending = std::uint64_t{1} << 32;
  static constexpr std::uint64_t kBeginPending = std::uint64_t{1} << 33;
  static constexpr std::uint64_t kEndPending = std::uint64_t{1} << 34;

  static bool Valid(std::int32_t index) {
    return index >= 0 && index < TEffectInstance::kParameterCount;
  }
  static float StoredValue(std::uint64_t word);

  std::array<std::atomic<std::uint64_t>, TEffectInstance::kParameterCount> FPending{};
};

template <class TEmit>
void TClapOutgoingEdits::Drain(TEmit&& emit) {
  for (std::int32_t index = 0; index < TEffectInstance::kParameterCount; ++index) {
    const std::uint64_t word = FPending[index].exchange(0, std::memory_order_relaxed);
    if (word & kBeginPending)
      emit(index, TClapEditStep::Begin, 0.0);
    if (word & kValuePending)
      emit(index, TClapEditStep::Value, static_cast<double>(StoredValue(word)));
    if (word & kEndPending)
      emit(index, TClapEditStep::End, 0.0);
  }
}
