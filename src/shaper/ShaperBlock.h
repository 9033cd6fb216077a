// The shaper's processing of one channel over a chunk of frames, written once
// (ShaperBlock.inc) and compiled for each instruction set the processor may
// choose at run time. Every variant gives the same bits.
#pragma once

#include "shaper/KernelTable.h"

#include <cstdint>

namespace shaper {

// The samples of one output reach back twelve frames.
inline constexpr int HistoryFrames = TKernelTable::KernelLength - 1;
inline constexpr int ChunkFrames = 512;
// Room for the vector loops to run past the end of a chunk and past the
// twelve outputs still pending after it.
inline constexpr int Slack = 48;
// A chunk's input starts at HistoryFrames, so that sample index minus tap is
// never negative.
inline constexpr int SpanFrames = HistoryFrames + ChunkFrames + Slack;

// What one channel's ring holds between chunks: the sums already formed for
// each of the next twelve outputs, then zeros for the vector loops.
struct alignas(32) TChannelState {
  float Pending[ChunkFrames + Slack];
};

// Working storage of one chunk.
struct alignas(32) TScratch {
  // Each channel's input, from index HistoryFrames on; both are taken before
  // any output is written.
  float X[2][SpanFrames];
  std::int32_t K[SpanFrames];
  // Every sample times each of its kernel's eight distinct taps, one column
  // per tap.
  double Column[8][SpanFrames];
  // The outputs before the output gain, then the twelve pending sums.
  float Slots[ChunkFrames + Slack];
  // Where settings change inside a chunk: each frame's drive and intensity,
  // indexed like X, and each frame's output gain.
  float Drive[SpanFrames];
  float Intensity[SpanFrames];
  float Gain[ChunkFrames + Slack];
  // From this index on every column holds -0.
  int StaleEnd = SpanFrames;
};

struct TSettings {
  float DriveGain;
  float Intensity;
  float OutputGain;
  // The caller's floating-point unit rounds to nearest: the quiet shortcut
  // holds (for normal samples).
  bool Nearest;
  // ... and neither flushes subnormal results nor reads subnormal inputs as
  // zero: adding a zero changes no sum.
  bool Plain;
  // Drive and intensity per frame, indexed like X and repeating the last
  // frame's up to a multiple of eight frames, where they change inside the
  // chunk; null where the two above hold for all of it. DriveGain then only
  // bounds the drives' magnitudes.
  const float* Drives = nullptr;
  const float* Intensities = nullptr;
};

// A short stereo call straight from the host's buffers to its outputs: Out =
// sum * gain, or Out + sum * gain when accumulating; with Gains, each frame's
// own gain.
struct TStereoCall {
  const float* In1;
  const float* In2;
  float* Out1;
  float* Out2;
  int Frames;
  bool Replacing;
  float Gain;
  const float* Gains;
};

struct TBlockKernels {
  const char* Name;
  // Processes Frames (1 to ChunkFrames) samples at X + HistoryFrames: picks
  // their kernels into Scratch.K, writes the ring values that leave the ring
  // to Scratch.Slots and carries the pending sums in State. X past the
  // samples is overwritten.
  void (*RenderChannel)(const TKernelTable::TRow* Rows, float* X, TChannelState& State,
                        TScratch& Scratch, int Frames, const TSettings& Settings);
  // The same for short calls: Frames samples of In (not copied into X), one
  // at a time, with no fixed cost per call.
  void (*RenderRing)(const TKernelTable::TRow* Rows, const float* In, TChannelState& State,
                     TScratch& Scratch, int Frames, const TSettings& Settings);
  // RenderRing and Emit for both channels of a short call at once, reading
  // the host's inputs in place.
  void (*RenderRingStereo)(const TKernelTable::TRow* Rows, const TStereoCall& Call,
                           TChannelState& State1, TChannelState& State2, TScratch& Scratch,
                           const TSettings& Settings);
  // Out = Slots * gain, or Out + Slots * gain when accumulating; with Gains,
  // each frame's own gain.
  void (*Emit)(const float* Slots, int Frames, float Gain, const float* Gains, float* Out,
               bool Replacing);
};

const TBlockKernels& BaselineKernels();
// Null where the processor or the build has no AVX2.
const TBlockKernels* Avx2Kernels();

} // namespace shaper
