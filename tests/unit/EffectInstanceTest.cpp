// The format-neutral effect instance: its parameter table, values and texts,
// processing held bit for bit against the VST 2 effect object, the saved
// state record, and the editor's gestures as a format boundary receives them.
#include "instance/EffectInstance.h"
#include "base/DecimalSeparator.h"
#include "base/Error.h"
#include "editor/FrmEditor.h"
#include "instance/EditorStateRecord.h"
#include "instance/EffectEditor.h"
#include "vst/DAEffectX.h"
#include "vst/PluginFactory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// The VST 2 effect object of the same library, as a host drives it.
class TVst2Effect {
public:
  TVst2Effect() : FEffect(CreateEffectInstance(HostCallback)) {
    Dispatch(effSetSampleRate, 0, 48000.0f);
    Dispatch(effSetBlockSize, 512);
  }
  ~TVst2Effect() { Dispatch(effClose); }
  TVst2Effect(const TVst2Effect&) = delete;
  TVst2Effect& operator=(const TVst2Effect&) = delete;

  VstIntPtr Dispatch(VstInt32 opcode, VstIntPtr value = 0, float opt = 0.0f, void* ptr = nullptr,
                     VstInt32 index = 0) {
    return FEffect->dispatcher(FEffect, opcode, index, value, ptr, opt);
  }
  void SetParameter(VstInt32 index, float value) { FEffect->setParameter(FEffect, index, value); }
  float Parameter(VstInt32 index) { return FEffect->getParameter(FEffect, index); }
  std::string Text(VstInt32 opcode, VstInt32 index) {
    char text[64] = {};
    Dispatch(opcode, 0, 0.0f, text, index);
    return text;
  }
  void Process(float** inputs, float** outputs, VstInt32 frames) {
    FEffect->processReplacing(FEffect, inputs, outputs, frames);
  }

private:
  AEffect* FEffect;
};

std::vector<float> Noise(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  // Well past full scale, so the loud kernels are chosen too.
  std::uniform_real_distribution<float> sample(-3.0f, 3.0f);
  std::vector<float> out(count);
  for (float& s : out)
    s = sample(random);
  return out;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

struct TRoute {
  const char* Name;
  bool Mono;
  bool InPlace;
};

} // namespace

TEST(EffectInstance, ParameterTableAgreesWithTheModelAndTheVst2Names) {
  const TEffectInstance instance(44100.0);
  TVst2Effect vst2;
  const char* expectedNames[] = {"Gain", "Intensity", "Out Gain", "Bypass"};
  for (std::int32_t i = 0; i < TEffectInstance::kParameterCount; ++i) {
    SCOPED_TRACE(i);
    const TParameterInfo& info = TEffectInstance::Parameter(i);
    EXPECT_EQ(info.Id, i);
    EXPECT_EQ(TEffectInstance::ParameterIndex(info.Id), i);
    EXPECT_EQ(info.Name, expectedNames[i]);
    EXPECT_EQ(info.IsBypass, i == TEffectInstance::kBypassIndex);
    EXPECT_EQ(instance.NormalizedToPlain(i, instance.NormalizedValue(i)), info.Default);
    EXPECT_EQ(instance.PlainToNormalized(i, info.Min), 0.0);
    EXPECT_EQ(instance.PlainToNormalized(i, info.Max), 1.0);
    if (info.IsBypass) {
      EXPECT_EQ(info.StepCount, 1);
      continue;
    }
    EXPECT_EQ(info.StepCount, 1000000);
    EXPECT_EQ(info.Name, vst2.Text(effGetParamName, i));
    EXPECT_EQ(info.Unit, vst2.Text(effGetParamLabel, i));
    EXPECT_EQ(static_cast<float>(instance.NormalizedValue(i)), vst2.Parameter(i));
  }
  EXPECT_EQ(TEffectInstance::ParameterIndex(4), -1);
  EXPECT_EQ(TEffectInstance::ParameterIndex(-1), -1);
  EXPECT_EQ(instance.Latency(), 6);
  EXPECT_EQ(instance.Tail(), 12);
}

TEST(EffectInstance, ValuesLandOnTheVst2StepsAndBadIndicesAreIgnored) {
  TEffectInstance instance(44100.0);
  TVst2Effect vst2;
  const double values[] = {0.0,          1.0, 0.5,  0.3333333,
                           0.1234567891, 1.7, -0.2, std::numeric_limits<double>::quiet_NaN()};
  for (const double value : values) {
    SCOPED_TRACE(value);
    instance.SetNormalizedValue(1, value);
    vst2.SetParameter(1, static_cast<float>(value));
    EXPECT_EQ(static_cast<float>(instance.NormalizedValue(1)), vst2.Parameter(1));
    EXPECT_EQ(instance.ValueText(1, instance.NormalizedValue(1)), vst2.Text(effGetParamDisplay, 1));
  }
  instance.SetNormalizedValue(-1, 0.5);
  instance.SetNormalizedValue(TEffectInstance::kParameterCount, 0.5);
  EXPECT_EQ(instance.NormalizedValue(TEffectInstance::kParameterCount), 0.0);
  EXPECT_EQ(instance.ValueText(7, 0.5), "");
  EXPECT_FALSE(instance.TextToNormalized(-3, "1"));

  instance.SetNormalizedValue(TEffectInstance::kBypassIndex, 0.7);
  EXPECT_TRUE(instance.Bypass());
  EXPECT_EQ(instance.NormalizedValue(TEffectInstance::kBypassIndex), 1.0);
  instance.SetNormalizedValue(TEffectInstance::kBypassIndex, 0.2);
  EXPECT_FALSE(instance.Bypass());
}

TEST(EffectInstance, TypedTextsAgreeWithTheVst2Conversion) {
  TEffectInstance instance(44100.0);
  TVst2Effect vst2;
  struct TCase {
    std::int32_t Index;
    const char* Text;
  };
  const TCase accepted[] = {{0, "-6.5"}, {0, "-6,5 dB"}, {0, " 12 db "}, {0, "99"},
                            {1, "75 %"}, {1, "33,3"},    {2, "+0.1"},    {2, "-100"}};
  for (const TCase& c : accepted) {
    SCOPED_TRACE(c.Text);
    const std::optional<double> normalized = instance.TextToNormalized(c.Index, c.Text);
    ASSERT_TRUE(normalized);
    instance.SetNormalizedValue(c.Index, *normalized);
    ASSERT_EQ(vst2.Dispatch(effString2Parameter, 0, 0.0f, const_cast<char*>(c.Text), c.Index), 1);
    EXPECT_EQ(static_cast<float>(instance.NormalizedValue(c.Index)), vst2.Parameter(c.Index));
  }
  for (const char* refused : {"", " ", "abc", "6 %", "1.2.3", "--4", "dB"}) {
    SCOPED_TRACE(refused);
    EXPECT_FALSE(instance.TextToNormalized(0, refused));
  }
  // Every shown text reads back as the step it shows.
  for (const double value : {0.0, 0.25, 0.5123, 0.999, 1.0}) {
    for (std::int32_t index = 0; index < TEffectInstance::kBypassIndex; ++index) {
      const std::string text = instance.ValueText(index, value);
      const std::optional<double> back = instance.TextToNormalized(index, text);
      ASSERT_TRUE(back) << text;
      EXPECT_EQ(instance.ValueText(index, *back), text);
    }
  }
  const std::int32_t bypass = TEffectInstance::kBypassIndex;
  EXPECT_EQ(instance.ValueText(bypass, 1.0), "On");
  EXPECT_EQ(instance.ValueText(bypass, 0.0), "Off");
  EXPECT_EQ(instance.TextToNormalized(bypass, " on"), 1.0);
  EXPECT_EQ(instance.TextToNormalized(bypass, "OFF"), 0.0);
  EXPECT_EQ(instance.TextToNormalized(bypass, "1"), 1.0);
  EXPECT_FALSE(instance.TextToNormalized(bypass, "maybe"));
}

TEST(EffectInstance, DecibelTextFollowsTheUserDecimalSeparator) {
  const TEffectInstance instance(44100.0);
  const std::string text = instance.ValueText(0, 0.75);
  EXPECT_EQ(text, std::string("24") + UserDecimalSeparator() + "0");
  EXPECT_EQ(instance.TextToNormalized(0, text), 0.75);
}

class EffectInstanceProcessing : public testing::TestWithParam<TRoute> {};

// Settings changed between blocks of odd sizes, the bypass crossfade
// included: the instance's output equals the VST 2 object's to the bit.
TEST_P(EffectInstanceProcessing, EqualsTheVst2EffectBitForBit) {
  const TRoute route = GetParam();
  TEffectInstance instance(48000.0);
  TVst2Effect vst2;
  constexpr std::int32_t kFrames = 4000;
  const std::vector<float> left = Noise(kFrames, 1);
  const std::vector<float> right = route.Mono ? left : Noise(kFrames, 2);
  std::vector<float> vstLeft(kFrames), vstRight(kFrames);
  std::vector<float> ownLeft = left, ownRight = right;
  std::vector<float> outLeft(kFrames), outRight(kFrames);

  const std::int32_t blocks[] = {1, 13, 512, 700, 1, 1024, 1749};
  std::int32_t at = 0;
  for (std::size_t b = 0; b < std::size(blocks); ++b) {
    const float setting = 0.15f * static_cast<float>(b);
    for (std::int32_t i = 0; i < 3; ++i) {
      instance.SetNormalizedValue(i, setting + 0.1f * static_cast<float>(i));
      vst2.SetParameter(i, setting + 0.1f * static_cast<float>(i));
    }
    const bool bypass = b == 3 || b == 4;
    instance.SetBypass(bypass);
    vst2.Dispatch(effSetBypass, bypass);

    const std::int32_t n = blocks[b];
    float* vstIn[2] = {const_cast<float*>(&left[at]),
                       const_cast<float*>(route.Mono ? &left[at] : &right[at])};
    float* vstOut[2] = {&vstLeft[at], &vstRight[at]};
    vst2.Process(vstIn, vstOut, n);

    const float* in[2] = {&ownLeft[at], route.Mono ? &ownLeft[at] : &ownRight[at]};
    float* out[2] = {&outLeft[at], &outRight[at]};
    if (route.InPlace) {
      out[0] = &ownLeft[at];
      out[1] = &ownRight[at];
    }
    instance.Process(in, out, n);
    at += n;
  }
  ASSERT_EQ(at, kFrames);
  if (route.InPlace) {
    outLeft = ownLeft;
    outRight = ownRight;
  }
  EXPECT_TRUE(SameBits(outLeft, vstLeft));
  EXPECT_TRUE(SameBits(outRight, vstRight));
}

INSTANTIATE_TEST_SUITE_P(
    Routes, EffectInstanceProcessing,
    testing::Values(TRoute{"Stereo", false, false}, TRoute{"Mono", true, false},
                    TRoute{"StereoInPlace", false, true}, TRoute{"MonoInPlace", true, true}),
    [](const testing::TestParamInfo<TRoute>& route) { return std::string(route.param.Name); });

// A value that a change inside a call moved, set back between calls, or a
// modulation that ends: the processor follows the parameter again, not what
// the call left in it.
TEST(EffectInstance, ProcessingFollowsAValueSetBackAfterAChangeInsideACall) {
  struct TCase {
    const char* Name;
    TParameterChange Change;
  };
  const TCase cases[] = {{"value", {100, 0, 0.9}}, {"modulation", {100, 2, -0.3, true}}};
  const std::vector<float> noise = Noise(512, 9);
  const float* in[2] = {noise.data(), noise.data()};
  std::vector<float> l(512), r(512), expectedL(512), expectedR(512);
  float* expected[2] = {expectedL.data(), expectedR.data()};
  TEffectInstance reference(44100.0);
  reference.Process(in, expected, 512);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TEffectInstance instance(44100.0);
    float* out[2] = {l.data(), r.data()};
    instance.Process(in, out, 512);
    instance.Process(in, out, 512, std::span(&c.Change, 1));
    if (c.Change.Modulation)
      instance.SetModulation(c.Change.Index, 0.0);
    else
      instance.SetNormalizedValue(c.Change.Index, reference.NormalizedValue(c.Change.Index));
    instance.Reset();
    instance.Process(in, out, 512);
    EXPECT_TRUE(SameBits(l, expectedL));
  }
}

TEST(EffectInstance, ProcessIgnoresEmptyCallsAndSurvivesNonFiniteSamples) {
  TEffectInstance instance(44100.0);
  std::vector<float> in(64, 0.5f), out(64, 7.0f);
  const float* inputs[2] = {in.data(), in.data()};
  float* outputs[2] = {out.data(), out.data() + 32};
  instance.Process(inputs, outputs, 0);
  instance.Process(inputs, outputs, -5);
  instance.Process(nullptr, outputs, 32);
  instance.Process(inputs, nullptr, 32);
  const float* halfInputs[2] = {in.data(), nullptr};
  instance.Process(halfInputs, outputs, 32);
  EXPECT_EQ(out, std::vector<float>(64, 7.0f));

  in[3] = std::numeric_limits<float>::quiet_NaN();
  in[9] = std::numeric_limits<float>::infinity();
  in[10] = -std::numeric_limits<float>::infinity();
  instance.Process(inputs, outputs, 32);
  // After the ring has passed the bad samples on, Reset brings back silence.
  instance.Reset();
  std::vector<float> silence(32, 0.0f);
  const float* quiet[2] = {silence.data(), silence.data()};
  instance.Process(quiet, outputs, 32);
  for (const float sample : out)
    EXPECT_EQ(sample, 0.0f);
}

namespace {

std::vector<std::uint8_t> Record(std::initializer_list<int> bytes) {
  std::vector<std::uint8_t> out;
  for (const int b : bytes)
    out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

// "KGRS", version 1, three values, bypass on: 250000, 1000000, 0.
const std::vector<std::uint8_t> kSavedRecord =
    Record({'K', 'G', 'R', 'S', 1,    0,    3,    0,    //
            0,   0,   0,   0,   0x90, 0xD0, 0x03, 0x00, //
            1,   0,   0,   0,   0x40, 0x42, 0x0F, 0x00, //
            2,   0,   0,   0,   0,    0,    0,    0,    1});

} // namespace

TEST(EffectInstance, StateIsALittleEndianRecordThatRestoresEveryValue) {
  TEffectInstance saved(44100.0);
  saved.SetNormalizedValue(0, 0.25);
  saved.SetNormalizedValue(2, 0.0);
  saved.SetBypass(true);
  EXPECT_EQ(saved.SaveState(), kSavedRecord);

  TEffectInstance restored(96000.0);
  ASSERT_TRUE(restored.LoadState(kSavedRecord));
  for (std::int32_t i = 0; i < TEffectInstance::kParameterCount; ++i)
    EXPECT_EQ(restored.NormalizedValue(i), saved.NormalizedValue(i)) << i;
  EXPECT_EQ(restored.SaveState(), kSavedRecord);
}

TEST(EffectInstance, StateWithAnUnknownIdOrFewerValuesLoadsWhatItKnows) {
  TEffectInstance instance(44100.0);
  // One known value (intensity 500000) and an id from a later version.
  const auto record = Record({'K', 'G', 'R', 'S', 1,    0,    2,    0, //
                              1,   0,   0,   0,   0x20, 0xA1, 0x07, 0, //
                              9,   0,   0,   0,   0xFF, 0xFF, 0xFF, 0xFF, 0});
  ASSERT_TRUE(instance.LoadState(record));
  EXPECT_EQ(instance.NormalizedValue(1), 0.5);
  EXPECT_EQ(instance.NormalizedValue(0), 0.5);
}

TEST(EffectInstance, BadStateIsRefusedWithoutChangingAnything) {
  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
  };
  auto edited = [](std::size_t at, int value) {
    std::vector<std::uint8_t> bytes = kSavedRecord;
    bytes[at] = static_cast<std::uint8_t>(value);
    return bytes;
  };
  std::vector<std::uint8_t> truncated(kSavedRecord.begin(), kSavedRecord.end() - 1);
  const TCase cases[] = {
      {"empty", {}},
      {"header only", Record({'K', 'G', 'R', 'S', 1, 0, 0, 0})},
      {"truncated", truncated},
      {"magic", edited(0, 'k')},
      {"version 0", edited(4, 0)},
      {"future version", edited(4, 2)},
      {"count beyond the bytes", edited(6, 4)},
      {"bypass byte", edited(32, 2)},
      {"step above the range", edited(14, 0x10)},
      {"negative step", edited(31, 0x80)},
  };
  TEffectInstance instance(44100.0);
  instance.SetNormalizedValue(1, 0.125);
  const std::vector<std::uint8_t> before = instance.SaveState();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_FALSE(instance.LoadState(c.Bytes));
    EXPECT_EQ(instance.SaveState(), before);
  }
}

// Records after the values come from later builds or from a host's stream:
// they never cost the user the values. A newer values record is refused.
TEST(EffectInstance, WhatFollowsTheValuesNeverCostsThem) {
  const auto joined = [](std::vector<std::uint8_t> first, std::vector<std::uint8_t> second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
  };
  const std::vector<std::uint8_t> zoom = {'K', 'G', 'R', 'E', 1, 0, 150, 0};
  const struct {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    std::optional<double> Zoom;
  } cases[] = {
      {"values alone", kSavedRecord, std::nullopt},
      {"values and zoom", joined(kSavedRecord, zoom), 1.5},
      {"a newer editor record", joined(kSavedRecord, {'K', 'G', 'R', 'E', 2, 0, 150, 0, 7}),
       std::nullopt},
      {"a kind of record not known here", joined(kSavedRecord, {'K', 'G', 'R', 'X', 1, 0}),
       std::nullopt},
      {"a stray byte", joined(kSavedRecord, {0}), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TEffectInstance instance(44100.0);
    instance.SetEditorZoom(2.0);
    ASSERT_TRUE(instance.LoadState(c.Bytes, TEffectInstance::spAll));
    EXPECT_EQ(instance.SaveState(), kSavedRecord);
    EXPECT_EQ(instance.EditorZoom(), c.Zoom);
    EXPECT_EQ(instance.SaveState(TEffectInstance::spAll), c.Zoom ? c.Bytes : kSavedRecord);
  }
  TEffectInstance instance(44100.0);
  instance.SetEditorZoom(2.0);
  const std::vector<std::uint8_t> before = instance.SaveState(TEffectInstance::spAll);
  std::vector<std::uint8_t> newerValues = joined(kSavedRecord, zoom);
  newerValues[4] = 2;
  EXPECT_FALSE(instance.LoadState(newerValues, TEffectInstance::spAll));
  EXPECT_EQ(instance.SaveState(TEffectInstance::spAll), before);
}

namespace {

struct TEditEvent {
  char Kind;
  std::int32_t Index;
  double Value;
  bool operator==(const TEditEvent&) const = default;
};

class TRecordingBoundary final : public TEffectEditorHost {
public:
  explicit TRecordingBoundary(TEffectInstance& instance) : FInstance(instance) {}
  void BeginEdit(std::int32_t index) override { Events.push_back({'b', index, 0.0}); }
  void PerformEdit(std::int32_t index, double normalized) override {
    FInstance.SetNormalizedValue(index, normalized);
    Events.push_back({'p', index, normalized});
  }
  void EndEdit(std::int32_t index) override { Events.push_back({'e', index, 0.0}); }
  bool RequestResize(std::int32_t width, std::int32_t height) override {
    Resizes.push_back({width, height});
    return true;
  }
  std::vector<TSize> Resizes;

  std::vector<TEditEvent> Events;

private:
  TEffectInstance& FInstance;
};

class EffectEditorTest : public testing::Test {
protected:
  TEffectInstance Instance{44100.0};
  TRecordingBoundary Boundary{Instance};
  std::unique_ptr<TEffectEditor> Editor =
      std::make_unique<TEffectEditor>(Instance, nullptr, Boundary);

  TFormEditor& Form() { return static_cast<TFormEditor&>(Editor->Form()); }
  void Press(const TGraphicKnob& knob, int dx) {
    const int x = knob.Left() + knob.Width() / 2;
    const int y = knob.Top() + knob.Height() / 2;
    Form().MouseDown(mbLeft, ssLeft, x, y);
    Form().MouseMove(ssLeft, x + dx, y);
  }
};

} // namespace

TEST_F(EffectEditorTest, KnobGestureReachesTheBoundaryAsBeginPerformEnd) {
  EXPECT_EQ(Editor->Size().Width, 402);
  EXPECT_EQ(Editor->Size().Height, 250);
  const double before = Instance.NormalizedValue(1);
  Press(*Form().GKIntensity, -40);
  const TGraphicKnob& knob = *Form().GKIntensity;
  Form().MouseUp(mbLeft, 0, knob.Left() + knob.Width() / 2 - 40, knob.Top() + knob.Height() / 2);

  const std::vector<TEditEvent>& events = Boundary.Events;
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front(), (TEditEvent{'b', 1, 0.0}));
  EXPECT_EQ(events.back(), (TEditEvent{'e', 1, 0.0}));
  for (std::size_t i = 1; i + 1 < events.size(); ++i) {
    EXPECT_EQ(events[i].Kind, 'p');
    EXPECT_EQ(events[i].Index, 1);
  }
  EXPECT_NE(Instance.NormalizedValue(1), before);
  EXPECT_EQ(Instance.NormalizedValue(1), events[events.size() - 2].Value);
}

TEST_F(EffectEditorTest, ClosingWhileAKnobIsHeldEndsTheGestureAndUnhooksTheInstance) {
  Press(*Form().GKGain, 30);
  Editor.reset();
  ASSERT_FALSE(Boundary.Events.empty());
  EXPECT_EQ(Boundary.Events.back(), (TEditEvent{'e', 0, 0.0}));
  // With the editor gone the instance's values still change freely.
  const std::size_t count = Boundary.Events.size();
  Instance.SetNormalizedValue(0, 0.9);
  EXPECT_EQ(Boundary.Events.size(), count);
}

TEST_F(EffectEditorTest, HostValuesShowAndTheHostsScaleResizesTheWindow) {
  // Set on a thread of the host's: the editor finds it at its next idle.
  std::thread([this] { Instance.SetNormalizedValue(2, 1.0); }).join();
  EXPECT_NE(Form().GKOutGain->ValueCache(), 1000000);
  Editor->Idle();
  EXPECT_EQ(Form().GKOutGain->ValueCache(), 1000000);
  EXPECT_EQ(Form().GraphicText3->Text().rfind(Instance.ValueText(2, 1.0), 0), 0u)
      << Form().GraphicText3->Text();
  EXPECT_TRUE(Boundary.Events.empty());
  EXPECT_TRUE(Editor->SetScale(1.0));
  EXPECT_TRUE(Boundary.Resizes.empty()) << "the size did not change";
  EXPECT_TRUE(Editor->SetScale(2.0));
  ASSERT_EQ(Boundary.Resizes.size(), 1u);
  EXPECT_EQ(Boundary.Resizes[0].Width, 804);
  EXPECT_EQ(Boundary.Resizes[0].Height, 500);
  EXPECT_EQ(Editor->Size().Width, 804);
  EXPECT_EQ(Editor->EventDescriptor(), -1); // offscreen: no connection
  EXPECT_EQ(Editor->WindowHandle(), nullptr);
  EXPECT_EQ(TEffectEditor(Instance, nullptr, Boundary, 1.5).Size().Width, 603);
  EXPECT_EQ(TEffectEditor::SizeAt(1.25).Height, 313);
}

TEST(EditorStateRecord, ZoomRoundTripsInWholePercent) {
  struct TCase {
    double Zoom;
    std::vector<std::uint8_t> Bytes;
    double Decoded;
  };
  const TCase cases[] = {
      {0, Record({'K', 'G', 'R', 'E', 1, 0, 0, 0}), 0},
      {1, Record({'K', 'G', 'R', 'E', 1, 0, 100, 0}), 1},
      {1.25, Record({'K', 'G', 'R', 'E', 1, 0, 125, 0}), 1.25},
      {3, Record({'K', 'G', 'R', 'E', 1, 0, 0x2C, 1}), 3},
      {7, Record({'K', 'G', 'R', 'E', 1, 0, 0x2C, 1}), 3},
      {std::numeric_limits<double>::max(), Record({'K', 'G', 'R', 'E', 1, 0, 0x2C, 1}), 3},
      {0.5, Record({'K', 'G', 'R', 'E', 1, 0, 100, 0}), 1},
      {std::numeric_limits<double>::quiet_NaN(), Record({'K', 'G', 'R', 'E', 1, 0, 0, 0}), 0},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(EncodeEditorState(c.Zoom), c.Bytes) << c.Zoom;
    EXPECT_EQ(DecodeEditorState(c.Bytes), c.Decoded) << c.Zoom;
  }
}

TEST(EditorStateRecord, AnythingElseIsRefused) {
  const std::vector<std::uint8_t> good = Record({'K', 'G', 'R', 'E', 1, 0, 150, 0});
  auto edited = [&](std::size_t at, int value) {
    std::vector<std::uint8_t> bytes = good;
    bytes[at] = static_cast<std::uint8_t>(value);
    return bytes;
  };
  std::vector<std::uint8_t> longer = good;
  longer.push_back(0);
  for (const auto& bytes :
       {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(good.begin(), good.end() - 1),
        longer, edited(3, 'S'), edited(4, 0), edited(4, 2), edited(5, 1), edited(6, 99),
        edited(6, 45), edited(7, 0xFF)})
    EXPECT_EQ(DecodeEditorState(bytes), std::nullopt) << ::testing::PrintToString(bytes);
}

TEST(EffectInstance, EditorZoomIsKeptInWholePercentOrNotAtAll) {
  TEffectInstance instance(44100.0);
  EXPECT_EQ(instance.EditorZoom(), std::nullopt);
  for (const auto& [set, kept] :
       {std::pair{1.25, 1.25}, std::pair{0.0, 0.0}, std::pair{9.0, 3.0}, std::pair{-1.0, 0.0}}) {
    instance.SetEditorZoom(set);
    EXPECT_EQ(instance.EditorZoom(), kept) << set;
  }
  instance.SetEditorZoom(std::nullopt);
  EXPECT_EQ(instance.EditorZoom(), std::nullopt);
}
