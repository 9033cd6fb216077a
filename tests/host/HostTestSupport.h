// What the host tests share on every platform: the built plug-in loaded once
// through the tools' host library, texts read the way hosts read them, a
// recorder for the plug-in's message boxes, and the few things each platform
// does its own way (threads, the user's decimal separator).
#pragma once

#include "base/PlatformDecimalSeparator.h"
#include "hostlib/Parameters.h"
#include "hostlib/PluginHost.h"
#include "hostlib/PrivateRequests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace glowrasp::hosttest {

inline std::shared_ptr<const host::PluginLibrary> Library() {
  static const auto library = std::make_shared<const host::PluginLibrary>(GLOWRASP_PLUGIN_PATH);
  return library;
}

inline std::string DataFile(const std::string& name) {
  return std::string(GLOWRASP_SOURCE_DIR) + "/tests/data/" + name;
}

// A text the plug-in writes into a host's buffer. The buffer is filled with
// 0x7f first, so a missing terminator shows.
inline std::string Text(const host::Plugin& plugin, VstInt32 opcode, VstInt32 index = 0) {
  std::array<char, 256> buffer;
  buffer.fill('\x7f');
  plugin.dispatch(opcode, index, 0, buffer.data());
  buffer.back() = '\0';
  return buffer.data();
}

// A host callback that answers the version and nothing else, for calling main
// directly.
inline VstIntPtr VSTCALLBACK AnswerVersionOnly(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr,
                                               void*, float) {
  return opcode == audioMasterVersion ? host::kHostVersion : 0;
}

// A fresh record as main returns it, before the host writes to it; closing it
// must answer 1.
class FreshRecord : public ::testing::Test {
protected:
  void SetUp() override {
    effect = Library()->entry()(&AnswerVersionOnly);
    ASSERT_NE(effect, nullptr);
  }
  void TearDown() override {
    if (effect) {
      EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
    }
  }

  AEffect* effect = nullptr;
};

// Message boxes of the whole library go to Texts while one of these lives:
// a box under a display would wait for a click that never comes.
class TMessageRecording {
public:
  explicit TMessageRecording(const host::Plugin& plugin) : FPlugin(plugin) {
    Texts().clear();
    Install(&Record);
  }
  ~TMessageRecording() { Install(nullptr); }
  TMessageRecording(const TMessageRecording&) = delete;
  TMessageRecording& operator=(const TMessageRecording&) = delete;

  static std::vector<std::string>& Texts() {
    static std::vector<std::string> texts;
    return texts;
  }

private:
  static void VSTCALLBACK Record(const char* text) { Texts().push_back(text); }
  void Install(TMessageRecorder recorder) {
    EXPECT_EQ(FPlugin.privateRequest(kMessageRecorderCode, reinterpret_cast<void*>(recorder)), 1);
  }

  const host::Plugin& FPlugin;
};

// The decimal separator the user's settings choose, read as the plug-in reads
// it on this platform (the one query the tests share with the plug-in's
// sources: it is the environment's, not the plug-in's behaviour).
inline char UserDecimalSeparator() {
  return ReadUserDecimalSeparator();
}

inline std::string WithUserSeparator(std::string text) {
  std::replace(text.begin(), text.end(), '.', UserDecimalSeparator());
  return text;
}

// Runs `body` on a thread of its own, started the way this platform's hosts
// start theirs.
void RunOnNewThread(const std::function<void()>& body);

} // namespace glowrasp::hosttest
