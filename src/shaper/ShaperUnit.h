// The shaper's signal processor: every sample is spread over the following
// twelve frames through one of 60000 low-pass kernels, chosen from how far the
// driven sample overshoots full scale.
#pragma once

#include "shaper/KernelTable.h"
#include "shaper/ShaperBlock.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

enum TShaperSetting : std::uint8_t { ssDriveGain, ssIntensity, ssOutputGain };

// A setting that takes a new value from a frame of a processing call on: as
// if the call were cut there and the setting changed in between.
struct TSettingChange {
  std::int32_t Frame;
  TShaperSetting Setting;
  float Value;
};

class TShaperUnit {
public:
  static constexpr int KernelCount = TKernelTable::KernelCount;
  static constexpr int KernelLength = TKernelTable::KernelLength;
  using TRing = std::array<float, KernelLength>;

  // Shares the process's kernel table, building it if this is the first
  // processor; the rings start cleared. The instruction set is the best the
  // processor has, or the one named by GLOWRASP_SIMD ("sse2", "avx2").
  TShaperUnit();
  ~TShaperUnit();
  TShaperUnit(const TShaperUnit&) = delete;
  TShaperUnit& operator=(const TShaperUnit&) = delete;

  // Empties both rings; the ring position and the settings stay.
  void Clear();
  // Each call reads the three settings once, then follows Changes (in frame
  // order) inside the call; the settings keep the last values. A change at
  // or past the end holds from the next call on.
  void ProcessStereo(const float* In1, const float* In2, float* Out1, float* Out2,
                     std::int32_t SampleFrames, bool Replacing,
                     std::span<const TSettingChange> Changes = {});
  void ProcessMono(const float* In, float* Out1, float* Out2, std::int32_t SampleFrames,
                   bool Replacing, std::span<const TSettingChange> Changes = {});

  // Written from any thread, read by the audio thread.
  std::atomic<float> DriveGain{0.0f};
  std::atomic<float> Intensity{0.0f};
  std::atomic<float> OutputGain{0.0f};
  // The one of the three a change names.
  std::atomic<float>& Setting(TShaperSetting Which) {
    return Which == ssDriveGain ? DriveGain : Which == ssIntensity ? Intensity : OutputGain;
  }

  const TKernelTable& Table() const { return *FTable; }
  // The kernel that processing picks for x with the current settings.
  int ChooseKernel(float x) const;
  std::int32_t RingPos() const { return FRingPos; }
  // The rings as the definition keeps them: slot RingPos + d holds the sum
  // formed so far for the output d frames ahead.
  TRing Ring1() const { return Ring(FState1); }
  TRing Ring2() const { return Ring(FState2); }
  // The instruction set in use.
  const char* PathName() const { return FKernels->Name; }

private:
  shaper::TSettings ReadSettings() const;
  // The settings of the chunk at frame Done: Running's values, or, where
  // changes fall inside it, every frame's in the scratch arrays. Running
  // leaves with the values at the chunk's end.
  shaper::TSettings ChunkSettings(shaper::TSettings& Running,
                                  std::span<const TSettingChange> Changes, std::size_t& Next,
                                  std::int32_t Done, int Frames);
  // One channel's chunk in X into the scratch's slots.
  void Render(float* X, shaper::TChannelState& State, int Frames,
              const shaper::TSettings& Settings);
  void KeepSettings(const shaper::TSettings& Running, std::span<const TSettingChange> Changes,
                    std::size_t Next);
  TRing Ring(const shaper::TChannelState& State) const;

  const std::shared_ptr<const TKernelTable> FTable;
  const TKernelTable::TRow* const FRows;
  const shaper::TBlockKernels* const FKernels;
  shaper::TChannelState FState1{};
  shaper::TChannelState FState2{};
  shaper::TScratch FScratch{};
  std::int32_t FRingPos = 0;
};
