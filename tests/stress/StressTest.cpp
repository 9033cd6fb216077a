// One instance used from three threads at once, as hosts do: the editor
// thread opens, drags and closes the editor, the host thread automates every
// parameter and reads its text, the audio thread processes. Run under
// ThreadSanitizer and AddressSanitizer, this shows the sharing is sound.
#include "editor/EffDataModule.h"
#include "toolkit/Form.h"
#include "vst/DAEffectX.h"
#include "vst/DAudioEffect.h"
#include "vst/EditorSnapshot.h"
#include "vst/PluginFactory.h"
#include "vst/VSTEditorBase.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr auto kRunTime = std::chrono::seconds(2);
constexpr int kBlock = 512;
constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr std::array<std::array<int, 2>, 3> kKnobCentres{{{67, 89}, {179, 89}, {290, 89}}};
constexpr std::array<int, 2> kHelpHotSpot{389, 15};

std::atomic<int> automations{0};

VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                   void*, float) {
  switch (opcode) {
  case audioMasterVersion:
    return 2400;
  case audioMasterAutomate:
    // Hosts read the value back while they record it.
    effect->getParameter(effect, index);
    automations.fetch_add(1, std::memory_order_relaxed);
    return 0;
  default:
    return 0;
  }
}

VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

// A display text is one whole number with one decimal, never a mix of two.
bool WellFormed(const std::string& text) {
  const auto point = text.find('.');
  if (point == std::string::npos || point + 2 != text.size() || point == 0)
    return false;
  const std::size_t first = text[0] == '-' ? 1 : 0;
  for (std::size_t i = first; i < text.size(); ++i)
    if (i != point && (text[i] < '0' || text[i] > '9'))
      return false;
  return point > first;
}

class TStressTest : public ::testing::Test {
protected:
  void SetUp() override {
    CreateEffectDataModule();
    Effect = CreateEffectInstance(&HostCallback);
    ASSERT_NE(Effect, nullptr);
    Dispatch(Effect, effOpen);
    Dispatch(Effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(Effect, effSetBlockSize, 0, kBlock);
    Dispatch(Effect, effMainsChanged, 0, 1);
  }

  void TearDown() override {
    if (Effect) {
      Dispatch(Effect, effMainsChanged, 0, 0);
      Dispatch(Effect, effClose);
    }
    DestroyEffectDataModule();
  }

  // Runs `work` on its own thread until the others have had their time.
  void RunConcurrently(const std::vector<std::function<void(const std::atomic<bool>&)>>& work) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (const auto& job : work)
      threads.emplace_back([&stop, &job] { job(stop); });
    std::this_thread::sleep_for(kRunTime);
    stop.store(true, std::memory_order_relaxed);
    for (std::thread& thread : threads)
      thread.join();
  }

  AEffect* Effect = nullptr;
};

void DragKnob(TForm& form, const std::array<int, 2>& centre, int dx, int dy) {
  const int x = centre[0];
  const int y = centre[1];
  form.MouseDown(mbLeft, ssLeft, x, y);
  for (int step = 1; step <= 4; ++step)
    form.MouseMove(ssLeft, x + dx * step / 4, y + dy * step / 4);
  form.MouseUp(mbLeft, 0, x + dx, y + dy);
}

void DoubleClick(TForm& form, const std::array<int, 2>& point) {
  form.MouseDown(mbLeft, ssLeft, point[0], point[1]);
  form.MouseUp(mbLeft, 0, point[0], point[1]);
  form.MouseDown(mbLeft, ssLeft | ssDouble, point[0], point[1]);
  form.MouseUp(mbLeft, 0, point[0], point[1]);
}

void Click(TForm& form, const std::array<int, 2>& point) {
  form.MouseDown(mbLeft, ssLeft, point[0], point[1]);
  form.MouseUp(mbLeft, 0, point[0], point[1]);
}

TEST_F(TStressTest, EditorHostAndAudioThreadsShareOneInstance) {
  automations.store(0, std::memory_order_relaxed);
  std::atomic<int> editorCycles{0};
  std::atomic<int> failedOpens{0};
  std::atomic<int> hostCalls{0};
  std::atomic<int> malformedTexts{0};
  std::atomic<int> audioBlocks{0};
  std::atomic<int> nonFiniteSamples{0};
  AEffect* const effect = Effect;

  const auto editorThread = [&](const std::atomic<bool>& stop) {
    std::vector<std::uint32_t> pixels(kWidth * kHeight);
    TEditorSnapshot snapshot{kWidth, kHeight, pixels.data()};
    for (int cycle = 0; !stop.load(std::memory_order_relaxed); ++cycle) {
      if (Dispatch(effect, effEditOpen) != 1) {
        failedOpens.fetch_add(1, std::memory_order_relaxed);
        continue;
      }
      auto* editor = static_cast<TVSTEditorBase*>(AudioEffect::FromRecord(effect)->getEditor());
      if (!editor->Form()) {
        failedOpens.fetch_add(1, std::memory_order_relaxed);
        continue;
      }
      TForm& form = *editor->Form();
      for (int round = 0; round < 8; ++round) {
        for (const auto& centre : kKnobCentres)
          DragKnob(form, centre, round * 3 - 9, round % 2 ? 45 : -45);
        DoubleClick(form, kKnobCentres[(cycle + round) % 3]);
        Dispatch(effect, effEditIdle);
      }
      Click(form, kHelpHotSpot);
      Dispatch(effect, effEditIdle);
      Click(form, kKnobCentres[cycle % 3]); // lands on the overlay and hides it
      Dispatch(effect, effEditIdle);
      Dispatch(effect, effVendorSpecific, kEditorSnapshotCode, kPrivateRequestKey, &snapshot);
      Dispatch(effect, effEditClose);
      editorCycles.fetch_add(1, std::memory_order_relaxed);
    }
  };

  const auto hostThread = [&](const std::atomic<bool>& stop) {
    char text[64];
    for (unsigned i = 0; !stop.load(std::memory_order_relaxed); ++i) {
      const auto index = static_cast<VstInt32>(i % 3);
      effect->setParameter(effect, index, static_cast<float>(i * 7919u % 1001u) / 1000.0f);
      effect->getParameter(effect, index);
      Dispatch(effect, effGetParamDisplay, index, 0, text);
      // The host's bypass switch, now and then, while the audio runs.
      if (i % 64 == 0)
        Dispatch(effect, effSetBypass, 0, (i / 64) % 2);
      if (!WellFormed(text))
        malformedTexts.fetch_add(1, std::memory_order_relaxed);
      hostCalls.fetch_add(1, std::memory_order_relaxed);
    }
  };

  const auto audioThread = [&](const std::atomic<bool>& stop) {
    std::vector<float> left(kBlock);
    std::vector<float> right(kBlock);
    std::vector<float> outLeft(kBlock);
    std::vector<float> outRight(kBlock);
    for (int i = 0; i < kBlock; ++i) {
      // Peaks far beyond full scale, so every kernel range is in use.
      left[i] = 3.0f * std::sin(0.05f * static_cast<float>(i));
      right[i] = 0.5f * std::cos(0.11f * static_cast<float>(i));
    }
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {outLeft.data(), outRight.data()};
    while (!stop.load(std::memory_order_relaxed)) {
      effect->processReplacing(effect, inputs, outputs, kBlock);
      for (int i = 0; i < kBlock; ++i)
        if (!std::isfinite(outLeft[i]) || !std::isfinite(outRight[i]))
          nonFiniteSamples.fetch_add(1, std::memory_order_relaxed);
      audioBlocks.fetch_add(1, std::memory_order_relaxed);
    }
  };

  RunConcurrently({editorThread, hostThread, audioThread});

  EXPECT_GT(editorCycles.load(), 0);
  EXPECT_EQ(failedOpens.load(), 0);
  EXPECT_GT(automations.load(), 0);
  EXPECT_GT(hostCalls.load(), 0);
  EXPECT_EQ(malformedTexts.load(), 0);
  EXPECT_GT(audioBlocks.load(), 0);
  EXPECT_EQ(nonFiniteSamples.load(), 0);
  for (VstInt32 i = 0; i < Effect->numParams; ++i) {
    const float value = Effect->getParameter(Effect, i);
    EXPECT_GE(value, 0.0f);
    EXPECT_LE(value, 1.0f);
  }
}

} // namespace
