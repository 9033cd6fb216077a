#include "shaper/ShaperUnit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

using shaper::HistoryFrames;

const shaper::TBlockKernels* SelectKernels() {
  const char* wanted = std::getenv("GLOWRASP_SIMD");
  const shaper::TBlockKernels* avx2 = shaper::Avx2Kernels();
  if (avx2 && (!wanted || std::string_view(wanted) != shaper::BaselineKernels().Name))
    return avx2;
  return &shaper::BaselineKernels();
}

void CopyIn(float* X, const float* In, int Frames) {
  std::memcpy(X + HistoryFrames, In, sizeof(float) * static_cast<std::size_t>(Frames));
}

// Frames that pass without input, as channel two sees mono processing: each
// pending sum moves closer to its output and the ones that leave are dropped.
void PassSilence(shaper::TChannelState& State, int Frames) {
  for (int d = 0; d < HistoryFrames; ++d)
    State.Pending[d] = d + Frames < HistoryFrames ? State.Pending[d + Frames] : 0.0f;
}

} // namespace

TShaperUnit::TShaperUnit()
    : FTable(TKernelTable::Acquire()), FRows(FTable->Rows()), FKernels(SelectKernels()) {
  // The products of the samples before a chunk, which only ever add nothing.
  for (double* column : FScratch.Column)
    std::fill(column, column + HistoryFrames, -0.0);
}

TShaperUnit::~TShaperUnit() = default;

void TShaperUnit::Clear() {
  std::fill(FState1.Pending, FState1.Pending + HistoryFrames, 0.0f);
  std::fill(FState2.Pending, FState2.Pending + HistoryFrames, 0.0f);
}

shaper::TSettings TShaperUnit::ReadSettings() const {
#if defined(__i386__) || defined(__x86_64__)
  const unsigned control = _mm_getcsr();
  const bool nearest = (control & 0x6000u) == 0;
  // Neither flush-to-zero nor denormals-are-zero.
  const bool plain = nearest && (control & 0x8040u) == 0;
#else
  const bool nearest = true;
  const bool plain = true;
#endif
  return {DriveGain.load(std::memory_order_relaxed), Intensity.load(std::memory_order_relaxed),
          OutputGain.load(std::memory_order_relaxed), nearest, plain};
}

int TShaperUnit::ChooseKernel(float x) const {
  auto scratch = std::make_unique<shaper::TScratch>();
  shaper::TChannelState state{};
  scratch->X[0][HistoryFrames] = x;
  FKernels->RenderChannel(FRows, scratch->X[0], state, *scratch, 1, ReadSettings());
  return scratch->K[HistoryFrames];
}

TShaperUnit::TRing TShaperUnit::Ring(const shaper::TChannelState& State) const {
  TRing ring{};
  for (int ahead = 0; ahead < HistoryFrames; ++ahead)
    ring[(FRingPos + ahead) % KernelLength] = State.Pending[ahead];
  return ring;
}

namespace {

void Apply(shaper::TSettings& Settings, const TSettingChange& Change) {
  switch (Change.Setting) {
  case ssDriveGain:
    Settings.DriveGain = Change.Value;
    break;
  case ssIntensity:
    Settings.Intensity = Change.Value;
    break;
  case ssOutputGain:
    Settings.OutputGain = Change.Value;
    break;
  }
}

// Count values from First on. A short stretch takes one store of eight: what
// it writes past its end the next stretch writes over, and every array has
// room past the chunk. Dense automation makes stretches of a frame or two.
void Fill(float* First, int Count, float Value) {
  if (Count > 8) {
    std::fill(First, First + Count, Value);
    return;
  }
  using TEight = float __attribute__((vector_size(32)));
  const TEight eight{Value, Value, Value, Value, Value, Value, Value, Value};
  std::memcpy(First, &eight, sizeof eight);
}

} // namespace

shaper::TSettings TShaperUnit::ChunkSettings(shaper::TSettings& Running,
                                             std::span<const TSettingChange> Changes,
                                             std::size_t& Next, std::int32_t Done, int Frames) {
  if (Next >= Changes.size() || Changes[Next].Frame >= Done + Frames)
    return Running;
  // Each stretch between changes is filled whole. A NaN drive picks kernel 0
  // and never counts as the largest.
  float largestDrive = 0.0f;
  const int padded = (Frames + 7) & ~7; // the kernel choice takes eight frames at a time
  for (int from = 0; from < Frames;) {
    for (; Next < Changes.size() && Changes[Next].Frame <= Done + from; ++Next)
      Apply(Running, Changes[Next]);
    const int to = Next < Changes.size() ? std::min(Changes[Next].Frame - Done, Frames) : Frames;
    const int end = to == Frames ? padded : to;
    Fill(FScratch.Drive + HistoryFrames + from, end - from, Running.DriveGain);
    Fill(FScratch.Intensity + HistoryFrames + from, end - from, Running.Intensity);
    Fill(FScratch.Gain + from, to - from, Running.OutputGain);
    if (std::abs(Running.DriveGain) > largestDrive)
      largestDrive = std::abs(Running.DriveGain);
    from = to;
  }
  shaper::TSettings chunk = Running;
  chunk.DriveGain = largestDrive;
  chunk.Drives = FScratch.Drive;
  chunk.Intensities = FScratch.Intensity;
  return chunk;
}

// Changes at or past the end hold from the next call on; the settings keep
// the values the call ended with.
void TShaperUnit::KeepSettings(const shaper::TSettings& Running,
                               std::span<const TSettingChange> Changes, std::size_t Next) {
  if (Changes.empty())
    return;
  shaper::TSettings last = Running;
  for (; Next < Changes.size(); ++Next)
    Apply(last, Changes[Next]);
  DriveGain.store(last.DriveGain, std::memory_order_relaxed);
  Intensity.store(last.Intensity, std::memory_order_relaxed);
  OutputGain.store(last.OutputGain, std::memory_order_relaxed);
}

// Below this many frames the fixed cost of a block outweighs taking the
// samples one at a time.
constexpr int kRingFrames = 32;

void TShaperUnit::Render(float* X, shaper::TChannelState& State, int Frames,
                         const shaper::TSettings& Settings) {
  if (Frames < kRingFrames)
    FKernels->RenderRing(FRows, X + HistoryFrames, State, FScratch, Frames, Settings);
  else
    FKernels->RenderChannel(FRows, X, State, FScratch, Frames, Settings);
}

void TShaperUnit::ProcessStereo(const float* In1, const float* In2, float* Out1, float* Out2,
                                std::int32_t SampleFrames, bool Replacing,
                                std::span<const TSettingChange> Changes) {
  if (SampleFrames <= 0)
    return;
  shaper::TSettings running = ReadSettings();
  std::size_t next = 0;
  if (SampleFrames < kRingFrames) {
    const shaper::TSettings settings = ChunkSettings(running, Changes, next, 0, SampleFrames);
    const shaper::TStereoCall call{In1,
                                   In2,
                                   Out1,
                                   Out2,
                                   SampleFrames,
                                   Replacing,
                                   settings.OutputGain,
                                   settings.Drives ? FScratch.Gain : nullptr};
    FKernels->RenderRingStereo(FRows, call, FState1, FState2, FScratch, settings);
    KeepSettings(running, Changes, next);
    FRingPos = (FRingPos + SampleFrames) % KernelLength;
    return;
  }
  for (std::int32_t done = 0; done < SampleFrames; done += shaper::ChunkFrames) {
    const int frames = std::min(SampleFrames - done, shaper::ChunkFrames);
    const shaper::TSettings settings = ChunkSettings(running, Changes, next, done, frames);
    const float* gains = settings.Drives ? FScratch.Gain : nullptr;
    // Both inputs are taken before an output is written: the host may
    // process in place, even crosswise.
    CopyIn(FScratch.X[0], In1 + done, frames);
    CopyIn(FScratch.X[1], In2 + done, frames);
    Render(FScratch.X[0], FState1, frames, settings);
    FKernels->Emit(FScratch.Slots, frames, settings.OutputGain, gains, Out1 + done, Replacing);
    Render(FScratch.X[1], FState2, frames, settings);
    FKernels->Emit(FScratch.Slots, frames, settings.OutputGain, gains, Out2 + done, Replacing);
  }
  KeepSettings(running, Changes, next);
  FRingPos = (FRingPos + SampleFrames % KernelLength) % KernelLength;
}

void TShaperUnit::ProcessMono(const float* In, float* Out1, float* Out2, std::int32_t SampleFrames,
                              bool Replacing, std::span<const TSettingChange> Changes) {
  if (SampleFrames <= 0)
    return;
  shaper::TSettings running = ReadSettings();
  std::size_t next = 0;
  for (std::int32_t done = 0; done < SampleFrames; done += shaper::ChunkFrames) {
    const int frames = std::min(SampleFrames - done, shaper::ChunkFrames);
    const shaper::TSettings settings = ChunkSettings(running, Changes, next, done, frames);
    const float* gains = settings.Drives ? FScratch.Gain : nullptr;
    CopyIn(FScratch.X[0], In + done, frames);
    Render(FScratch.X[0], FState1, frames, settings);
    FKernels->Emit(FScratch.Slots, frames, settings.OutputGain, gains, Out1 + done, Replacing);
    // Accumulating keeps each output's own content; a buffer given as both
    // outputs receives the result once.
    // Replacing, both receive the same values: a copy.
    if (Out2 != Out1 && Replacing)
      std::memmove(Out2 + done, Out1 + done, sizeof(float) * static_cast<std::size_t>(frames));
    else if (Out2 != Out1)
      FKernels->Emit(FScratch.Slots, frames, settings.OutputGain, gains, Out2 + done, Replacing);
    PassSilence(FState2, frames);
  }
  KeepSettings(running, Changes, next);
  FRingPos = (FRingPos + SampleFrames % KernelLength) % KernelLength;
}
