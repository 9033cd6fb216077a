// One seed's worth of host calls against the plug-in: instances created and
// closed, every dispatcher opcode with extreme arguments, processing with
// hostile samples and buffer layouts, the editor opened offscreen. Each call
// is followed by the checks a host can make from outside: guard zones intact,
// texts ending inside their buffers, finite output for finite input.
#pragma once

#include "Random.h"
#include "vst/DAEffect.h"

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
  struct TInstance {
    AEffect* Effect = nullptr;
    std::int32_t BlockSize = 0;
    bool EditorOpen = false;
    // No parameter was changed: the output must stay finite for finite input.
    bool AtDefaults = true;
    // Input frames in a row, up to the next block, that were neither
    // non-finite nor huge.
    std::int64_t CleanFrames = 0;
    std::vector<std::uint8_t> Chunk;
  };

  void Create();
  void CloseInstance(std::size_t which);
  void Start(TInstance& instance);
  void Dispatch(std::size_t which);
  void Process(TInstance& instance);
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
