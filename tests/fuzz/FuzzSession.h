// One seed's worth of host calls against the plug-in: instances created and
// closed, every dispatcher opcode with extreme arguments, processing with
// hostile samples and buffer layouts, the editor opened offscreen. Each call
// is followed by the checks a host can make from outside: guard zones intact,
// texts ending inside their buffers, every output sample written, finite
// output for finite input, and at default settings the effect's promise that
// a sample within full scale comes out unchanged, a fixed number of frames late.
#pragma once

#include "Random.h"
#include "vst/DAEffect.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What every session adds up to.
struct TFuzzTotals {
  std::uint64_t Calls = 0;
  std::uint64_t Instances = 0;
  std::uint64_t ProcessCalls = 0;
  std::uint64_t Frames = 0;
  std::uint64_t EditorOpens = 0;
  std::uint64_t Messages = 0;
};

// The first check that failed; empty Text when none did.
struct TFuzzViolation {
  std::string Text;
  std::uint64_t Call = 0;
};

class TFuzzSession {
public:
  TFuzzSession(VstPluginMainProc entry, std::uint64_t seed, TFuzzTotals& totals);
  ~TFuzzSession();
  TFuzzSession(const TFuzzSession&) = delete;
  TFuzzSession& operator=(const TFuzzSession&) = delete;

  // One host action (one or a few calls). False once a check failed.
  bool Step();
  const TFuzzViolation& Violation() const { return FViolation; }

  // What the plug-in shows in message boxes goes here instead of the screen.
  static void VSTCALLBACK RecordMessage(const char* text);
  static std::vector<std::string>& FirstMessages();

private:
  // The input frames an output frame depends on: the sample it carries, this
  // many frames late, and as many on either side whose kernels reach it.
  static constexpr int Delay = 6;
  static constexpr int Reach = 2 * Delay;
  enum class TRoute { Unknown, Stereo, Mono };

  struct TInstance {
    AEffect* Effect = nullptr;
    std::int32_t BlockSize = 0;
    bool EditorOpen = false;
    // The host gave a sample rate and a block size, so the processor exists
    // and every processing call with whole buffers must write every output.
    bool Ready = false;
    // No parameter was changed: the output must stay finite for finite input.
    bool AtDefaults = true;
    // The bypass was switched on at some time: its crossfades mix the effect
    // with the delayed input, which is not exact.
    bool BypassSwitched = false;
    // Input frames in a row, up to the next block, that were neither
    // non-finite nor huge.
    std::int64_t CleanFrames = 0;
    // The last Reach input frames of each channel processed on Route, oldest
    // first; the newest KnownFrames of them are what the processor holds.
    std::array<std::array<float, Reach>, 2> History{};
    int KnownFrames = 0;
    TRoute Route = TRoute::Unknown;
    std::vector<std::uint8_t> Chunk;
  };

  void Create();
  void CloseInstance(std::size_t which);
  void Start(TInstance& instance);
  void Dispatch(std::size_t which);
  void Process(TInstance& instance);
  // The first output sample that should have carried its input unchanged and
  // did not; Channel -1 when there is none.
  struct TDelayMismatch {
    int Channel = -1;
    int Frame = 0;
    float Expected = 0.0f;
  };
  // Follows what the processor holds across a call whose input per channel
  // is dry, and compares the outputs where comparable.
  TDelayMismatch FollowDelay(TInstance& instance, TRoute route,
                             const std::array<std::vector<float>, 2>& dry, float* const* outputs,
                             bool comparable);
  void Parameters(TInstance& instance);
  void Editor(TInstance& instance);
  void PrivateRequest(TInstance& instance);

  VstIntPtr Call(TInstance& instance, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                 float opt);
  VstInt32 ExtremeIndex(const TInstance& instance);
  VstIntPtr ExtremeValue();
  float ExtremeFloat();
  float Sample(int signal);
  std::string Text();
  void Fail(const std::string& what);

  VstPluginMainProc FEntry;
  TRandom FRandom;
  TFuzzTotals& FTotals;
  std::vector<TInstance> FInstances;
  TFuzzViolation FViolation;
  std::uint64_t FCalls = 0;
  bool FRecorderInstalled = false;
};
