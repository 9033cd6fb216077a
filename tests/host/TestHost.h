// A minimal VST 2 host for tests: loads the built plug-in with dlopen, calls
// its exported main and records what the plug-in tells the host.
#pragma once

#include "vst/DAEffect.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

struct TAutomateCall {
  AEffect* Effect;
  VstInt32 Index;
  float Value;
  float ParameterAtCall; // what getParameter answered while the host was being told
};

class TTestHost {
public:
  TTestHost() {
    FLibrary = dlopen(GLOWRASP_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!FLibrary)
      ADD_FAILURE() << dlerror();
    else
      FMain = reinterpret_cast<VstPluginMainProc>(dlsym(FLibrary, "main"));
  }
  ~TTestHost() {
    for (AEffect* e : FOpen)
      e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    if (FLibrary)
      dlclose(FLibrary);
  }
  TTestHost(const TTestHost&) = delete;
  TTestHost& operator=(const TTestHost&) = delete;

  VstPluginMainProc Main() const { return FMain; }

  // A new instance that this host closes when it goes.
  AEffect* Open() {
    Current = this;
    AEffect* e = FMain ? FMain(&Callback) : nullptr;
    if (e)
      FOpen.push_back(e);
    return e;
  }
  void Close(AEffect* e) {
    std::erase(FOpen, e);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
  }
  // Sample rate and block size: what a host sends before it processes.
  static void Start(AEffect* e, float rate = 44100.0f, VstIntPtr block = 512) {
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, rate);
    e->dispatcher(e, effSetBlockSize, 0, block, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  }
  static std::string Text(AEffect* e, VstInt32 opcode, VstInt32 index = 0) {
    char buffer[256];
    std::fill(std::begin(buffer), std::end(buffer), '\x7f');
    e->dispatcher(e, opcode, index, 0, buffer, 0.0f);
    return buffer;
  }

  static inline TTestHost* Current = nullptr;
  VstIntPtr VersionAnswer = 2400;
  std::vector<TAutomateCall> Automations;
  std::vector<VstInt32> Opcodes;

private:
  static VstIntPtr VSTCALLBACK Callback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                        void*, float opt) {
    TTestHost* host = Current;
    host->Opcodes.push_back(opcode);
    switch (opcode) {
    case audioMasterVersion:
      return host->VersionAnswer;
    case audioMasterAutomate:
      host->Automations.push_back({e, index, opt, e->getParameter(e, index)});
      return 0;
    default:
      return 0;
    }
  }

  void* FLibrary = nullptr;
  VstPluginMainProc FMain = nullptr;
  std::vector<AEffect*> FOpen;
};
