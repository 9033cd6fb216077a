// What hosts ask beyond the first level of the interface, and what they must
// read back: the opcode answers, texts cut to the interface's buffer sizes,
// null pointers, pin and parameter properties, typed parameter values.
#include "PluginUnderTest.h"
#include "params/ParameterTable.h"
#include "vst/DAEffectX.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace glowrasp::vst24 {
namespace {

constexpr char kGuard = '\x7f';

class HostAnswers : public ::testing::Test {
protected:
  // Bytes of `buffer` from `from` on that the plug-in did not write.
  template <std::size_t N>
  static std::size_t Untouched(const std::array<char, N>& buffer, std::size_t from) {
    return static_cast<std::size_t>(
        std::count(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.end(), kGuard));
  }

  host::Plugin plugin{Library()};
};

TEST_F(HostAnswers, NumericOpcodes) {
  const struct {
    VstInt32 Opcode;
    VstInt32 Index;
    VstIntPtr Value;
    VstIntPtr Answer;
  } cases[] = {
      {effCanBeAutomated, 0, 0, 1},      {effCanBeAutomated, 1, 0, 1},
      {effCanBeAutomated, 2, 0, 1},      {effCanBeAutomated, 3, 0, 0},
      {effCanBeAutomated, -1, 0, 0},     {effGetPlugCategory, 0, 0, kPlugCategEffect},
      {effSetBypass, 0, 1, 1},           {effSetBypass, 0, 0, 1},
      {effGetVendorVersion, 0, 0, 1000}, {effGetTailSize, 0, 0, 12},
      {effGetVstVersion, 0, 0, 2400},    {effStartProcess, 0, 0, 0},
      {effStopProcess, 0, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(plugin.dispatch(c.Opcode, c.Index, c.Value), c.Answer)
        << "opcode " << c.Opcode << " index " << c.Index;
}

// Opcodes beyond the first level that the plug-in does not answer leave the
// host's buffer alone and answer 0, whatever the arguments.
TEST_F(HostAnswers, EveryOtherOpcodeAnswersZeroAndWritesNothing) {
  const std::set<VstInt32> answered = {
      effCanBeAutomated,     effString2Parameter,       effGetProgramNameIndexed,
      effGetInputProperties, effGetOutputProperties,    effGetPlugCategory,
      effSetBypass,          effGetEffectName,          effGetVendorString,
      effGetProductString,   effGetVendorVersion,       effCanDo,
      effGetTailSize,        effGetParameterProperties, effGetVstVersion};
  for (VstInt32 opcode = 25; opcode <= 128; ++opcode) {
    if (answered.count(opcode))
      continue;
    std::array<char, 512> buffer;
    buffer.fill(kGuard);
    EXPECT_EQ(plugin.dispatch(opcode, 0, 0, buffer.data()), 0) << "opcode " << opcode;
    EXPECT_EQ(Untouched(buffer, 0), buffer.size()) << "opcode " << opcode;
    EXPECT_EQ(plugin.dispatch(opcode, 1, 1, nullptr, 1.0f), 0) << "opcode " << opcode;
  }
}

TEST_F(HostAnswers, TextsStayInsideTheirBuffers) {
  const struct {
    VstInt32 Opcode;
    VstInt32 Index;
    const char* Text;
    std::size_t Size; // the buffer the interface gives this text
  } cases[] = {
      {effGetEffectName, 0, "Kestrune Glowrasp", kVstMaxEffectNameLen},
      {effGetVendorString, 0, "Kestrune", kVstMaxVendorStrLen},
      {effGetProductString, 0, "Kestrune Glowrasp", kVstMaxProductStrLen},
      {effGetProgramNameIndexed, 0, "Default", kVstMaxProgNameLen},
  };
  for (const auto& c : cases) {
    std::array<char, 256> buffer;
    buffer.fill(kGuard);
    EXPECT_EQ(plugin.dispatch(c.Opcode, c.Index, 0, buffer.data()), 1) << "opcode " << c.Opcode;
    EXPECT_STREQ(buffer.data(), c.Text) << "opcode " << c.Opcode;
    const std::size_t written = std::strlen(c.Text) + 1;
    EXPECT_LE(written, c.Size);
    EXPECT_EQ(Untouched(buffer, written), buffer.size() - written) << "opcode " << c.Opcode;
  }
}

TEST_F(HostAnswers, IndexedProgramNameIsCutToTheProgramNameBuffer) {
  char longName[] = "A program name far longer than any host buffer";
  plugin.dispatch(effSetProgramName, 0, 0, longName);
  std::array<char, 64> buffer;
  buffer.fill(kGuard);
  EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 0, -1, buffer.data()), 1);
  EXPECT_EQ(std::string(buffer.data()), std::string(longName, kVstMaxProgNameLen - 1));
  EXPECT_EQ(Untouched(buffer, kVstMaxProgNameLen), buffer.size() - kVstMaxProgNameLen);

  for (VstInt32 index : {1, -1, 100}) {
    buffer.fill(kGuard);
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, index, 0, buffer.data()), 0) << index;
    EXPECT_EQ(Untouched(buffer, 0), buffer.size()) << index;
  }
}

TEST_F(HostAnswers, NullPointersAnswerZero) {
  for (VstInt32 opcode : {effString2Parameter, effGetProgramNameIndexed, effGetInputProperties,
                          effGetOutputProperties, effGetEffectName, effGetVendorString,
                          effGetProductString, effCanDo, effGetParameterProperties})
    for (VstInt32 index : {0, 1, 3, -1})
      EXPECT_EQ(plugin.dispatch(opcode, index, 0, nullptr), 0)
          << "opcode " << opcode << " index " << index;
}

TEST_F(HostAnswers, CanDo) {
  const struct {
    const char* What;
    VstIntPtr Answer;
  } cases[] = {
      {"bypass", 1},
      {"plugAsChannelInsert", 1},
      {"plugAsSend", 1},
      {"2in2out", 1},
      {"receiveVstEvents", -1},
      {"receiveVstMidiEvent", -1},
      {"sendVstEvents", -1},
      {"sendVstMidiEvent", -1},
      {"offline", -1},
      {"receiveVstTimeInfo", 0},
      {"Bypass", 0},
      {"bypass ", 0},
      {"", 0},
  };
  for (const auto& c : cases) {
    std::string what = c.What;
    EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, what.data()), c.Answer) << '"' << c.What << '"';
  }
}

TEST_F(HostAnswers, StereoPins) {
  const struct {
    VstInt32 Opcode;
    VstInt32 Index;
    const char* Label;
  } pins[] = {
      {effGetInputProperties, 0, "Left In"},
      {effGetInputProperties, 1, "Right In"},
      {effGetOutputProperties, 0, "Left Out"},
      {effGetOutputProperties, 1, "Right Out"},
  };
  struct TGuarded {
    VstPinProperties Pin;
    std::array<char, 32> After;
  };
  for (const auto& p : pins) {
    TGuarded g;
    std::memset(&g, kGuard, sizeof g);
    ASSERT_EQ(plugin.dispatch(p.Opcode, p.Index, 0, &g.Pin), 1) << p.Label;
    EXPECT_STREQ(g.Pin.label, p.Label);
    const std::size_t shortLength = strnlen(g.Pin.shortLabel, kVstMaxShortLabelLen);
    EXPECT_LT(shortLength, kVstMaxShortLabelLen) << p.Label << ": short label not terminated";
    EXPECT_GT(shortLength, 0u) << p.Label;
    EXPECT_EQ(g.Pin.flags & (kVstPinIsActive | kVstPinIsStereo), kVstPinIsActive | kVstPinIsStereo)
        << p.Label;
    EXPECT_EQ(g.Pin.arrangementType, kSpeakerArrStereo) << p.Label;
    EXPECT_EQ(std::count(g.After.begin(), g.After.end(), kGuard), 32) << p.Label;
  }
  for (VstInt32 opcode : {effGetInputProperties, effGetOutputProperties})
    for (VstInt32 index : {2, -1, 1000}) {
      TGuarded g;
      std::memset(&g, kGuard, sizeof g);
      EXPECT_EQ(plugin.dispatch(opcode, index, 0, &g.Pin), 0) << opcode << " pin " << index;
      EXPECT_EQ(g.Pin.flags, static_cast<VstInt32>(0x7f7f7f7f)) << "pin " << index << " written";
    }
}

// The VST 2 names and labels are built from the one parameter table.
TEST_F(HostAnswers, ParametersFollowTheParameterTable) {
  ASSERT_EQ(plugin.numParams(), 3);
  for (int index = 0; index < 3; ++index) {
    const TParameterDescription& d = kParameterTable[static_cast<std::size_t>(index)];
    EXPECT_EQ(plugin.paramName(index), d.Name);
    EXPECT_EQ(plugin.paramLabel(index), d.Unit);
  }
}

// What a host needs to show a continuous control per parameter.
TEST_F(HostAnswers, ParameterProperties) {
  const char* names[] = {"Gain", "Intensity", "Out Gain"};
  for (VstInt32 index = 0; index < 3; ++index) {
    struct {
      VstParameterProperties Properties;
      std::array<char, 32> After;
    } g;
    std::memset(&g, kGuard, sizeof g);
    ASSERT_EQ(plugin.dispatch(effGetParameterProperties, index, 0, &g.Properties), 1) << index;
    const VstParameterProperties& p = g.Properties;
    EXPECT_STREQ(p.label, names[index]);
    const std::size_t shortLength = strnlen(p.shortLabel, kVstMaxShortLabelLen);
    EXPECT_LT(shortLength, kVstMaxShortLabelLen) << index << ": short label not terminated";
    EXPECT_GT(shortLength, 0u) << index;
    EXPECT_EQ(p.flags & (kVstParameterIsSwitch | kVstParameterUsesIntegerMinMax |
                         kVstParameterUsesIntStep),
              0)
        << index << ": shown as stepped";
    EXPECT_TRUE(p.flags & kVstParameterSupportsDisplayIndex) << index;
    EXPECT_EQ(p.displayIndex, index);
    EXPECT_EQ(std::count(g.After.begin(), g.After.end(), kGuard), 32) << index;
  }
  for (VstInt32 index : {3, -1}) {
    VstParameterProperties p;
    std::memset(&p, kGuard, sizeof p);
    EXPECT_EQ(plugin.dispatch(effGetParameterProperties, index, 0, &p), 0) << index;
    EXPECT_EQ(p.flags, static_cast<VstInt32>(0x7f7f7f7f)) << index;
  }
}

// ---- Typed values ----------------------------------------------------------

class TypedValues : public HostAnswers {
protected:
  VstIntPtr Type(VstInt32 index, const char* text) {
    std::string copy = text;
    return plugin.dispatch(effString2Parameter, index, 0, copy.data());
  }
};

// Each text is typed over a known starting value; the display is what the
// host shows afterwards (with '.' read as the run's decimal separator).
TEST_F(TypedValues, ParsedInTheParametersUnitClampedAndApplied) {
  const struct {
    VstInt32 Index;
    const char* Text;
    const char* Display;
  } cases[] = {
      {0, "6", "6.0"},
      {0, "6.5", "6.5"},
      {0, "6,5", "6.5"},
      {0, "-12 dB", "-12.0"},
      {0, "  -12dB  ", "-12.0"},
      {0, "+3 DB", "3.0"},
      {0, "\t-0,5\n", "-0.5"},
      {0, ".5", "0.5"},
      {0, "7.", "7.0"},
      {0, "-0", "0.0"},
      {0, "100", "48.0"},
      {0, "-1000 dB", "-48.0"},
      {0, "99999999999999999999999999", "48.0"},
      {1, "75 %", "75.0"},
      {1, "75%", "75.0"},
      {1, "12,5", "12.5"},
      {1, "33.3", "33.3"},
      {1, "150", "100.0"},
      {1, "-5 %", "0.0"},
      {2, "-6", "-6.0"},
      {2, "24 dB", "24.0"},
      {2, "-47,9", "-47.9"},
  };
  std::vector<VstInt32> automated;
  plugin.onAutomation([&](int index, float) { automated.push_back(index); });
  for (const auto& c : cases) {
    plugin.setParameter(c.Index, 0.25f);
    EXPECT_EQ(Type(c.Index, c.Text), 1) << '"' << c.Text << '"';
    EXPECT_EQ(plugin.paramDisplay(c.Index), Localised(c.Display)) << '"' << c.Text << '"';
  }
  // A typed value changes the parameter as the host's own setParameter does:
  // the host is not told of it again.
  EXPECT_TRUE(automated.empty());
}

TEST_F(TypedValues, ReachTheSameValueAsSetParameter) {
  const struct {
    VstInt32 Index;
    const char* Text;
    float Value;
  } cases[] = {
      {0, "-12 dB", 0.375f}, {0, "0", 0.5f}, {1, "75 %", 0.75f}, {2, "48", 1.0f}, {2, "-48", 0.0f},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Type(c.Index, c.Text), 1) << c.Text;
    host::Plugin reference{Library()};
    reference.setParameter(c.Index, c.Value);
    EXPECT_EQ(plugin.getParameter(c.Index), reference.getParameter(c.Index)) << c.Text;
  }
}

TEST_F(TypedValues, AnythingElseAnswersZeroAndChangesNothing) {
  const struct {
    VstInt32 Index;
    const char* Text;
  } cases[] = {
      {0, ""},      {0, "   "}, {0, "abc"},  {0, "6.5.1"}, {0, "6,5,1"}, {0, "6 %"},
      {1, "6 dB"},  {0, "dB"},  {1, "%"},    {0, "--6"},   {0, "+-6"},   {0, "6 dB x"},
      {0, "6 d B"}, {0, "1e3"}, {0, "0x10"}, {0, "nan"},   {0, "inf"},   {0, "-"},
      {0, "."},     {0, "6 5"}, {0, "six"},  {3, "6"},     {-1, "6"},    {1000, "6"},
  };
  for (const auto& c : cases) {
    const VstInt32 shown = c.Index >= 0 && c.Index < 3 ? c.Index : 0;
    plugin.setParameter(shown, 0.25f);
    const float before = plugin.getParameter(shown);
    EXPECT_EQ(Type(c.Index, c.Text), 0) << c.Index << " \"" << c.Text << '"';
    EXPECT_EQ(plugin.getParameter(shown), before) << c.Index << " \"" << c.Text << '"';
  }
  const float before = plugin.getParameter(0);
  EXPECT_EQ(plugin.dispatch(effString2Parameter, 0, 0, nullptr), 0);
  EXPECT_EQ(plugin.getParameter(0), before);
}

} // namespace
} // namespace glowrasp::vst24
