#include "shaper/ShaperUnit.h"

#include <algorithm>
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

void TShaperUnit::ProcessStereo(const float* In1, const float* In2, float* Out1, float* Out2,
                                std::int32_t SampleFrames, bool Replacing) {
  if (SampleFrames <= 0)
    return;
  const shaper::TSettings settings = ReadSettings();
  for (std::int32_t done = 0; done < SampleFrames; done += shaper::ChunkFrames) {
    const int frames = std::min(SampleFrames - done, shaper::ChunkFrames);
    // Both inputs are taken before an output is written: the host may
    // process in place, even crosswise.
    CopyIn(FScratch.X[0], In1 + done, frames);
    CopyIn(FScratch.X[1], In2 + done, frames);
    FKernels->RenderChannel(FRows, FScratch.X[0], FState1, FScratch, frames, settings);
    FKernels->Emit(FScratch.Slots, frames, settings.OutputGain, Out1 + done, Replacing);
    FKernels->RenderChannel(FRows, FScratch.X[1], FState2, FScratch, frames, settings);
    FKernels->Emit(FScratch.Slots, frames, settings.OutputGain, Out2 + done, Replacing);
  }
  FRingPos = (FRingPos + SampleFrames % KernelLength) % KernelLength;
}

void TShaperUnit::ProcessMono(const float* In, float* Out1, float* Out2, std::int32_t SampleFrames,
                              bool Replacing) {
  if (SampleFrames <= 0)
    return;
  const shaper::TSettings settings = ReadSettings();
  for (std::int32_t done = 0; done < SampleFrames; done += shaper::ChunkFrames) {
    const int frames = std::min(SampleFrames - done, shaper::ChunkFrames);
    CopyIn(FScratch.X[0], In + done, frames);
    FKernels->RenderChannel(FRows, FScratch.X[0], FState1, FScratch, frames, settings);
    FKernels->Emit(FScratch.Slots, frames, settings.OutputGain, Out1 + done, Replacing);
    // Accumulating keeps each output's own content; a buffer given as both
    // outputs receives the result once.
    // Replacing, both receive the same values: a copy.
    if (Out2 != Out1 && Replacing)
      std::memmove(Out2 + done, Out1 + done, sizeof(float) * static_cast<std::size_t>(frames));
    else if (Out2 != Out1)
      FKernels->Emit(FScratch.Slots, frames, settings.OutputGain, Out2 + done, Replacing);
    PassSilence(FState2, frames);
  }
  FRingPos = (FRingPos + SampleFrames % KernelLength) % KernelLength;
}
