// The dispatcher opcodes, parameters and texts, as a host drives them.
#include "TestHost.h"
#include "common/FixedAnswerOpcodes.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

class Dispatcher : public ::testing::Test {
protected:
  void SetUp() override {
    e = host.Open();
    ASSERT_NE(e, nullptr);
  }
  VstIntPtr Call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                 float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
  }

  TTestHost host;
  AEffect* e = nullptr;
};

} // namespace

TEST_F(Dispatcher, OpcodesWithFixedAnswers) {
  for (const TFixedAnswer& c : kFixedAnswers)
    EXPECT_EQ(Call(c.Opcode, 3, 7, nullptr, 1.0f), c.Result) << "opcode " << c.Opcode;
  for (VstInt32 opcode : {effSetSampleRate, effSetBlockSize, effMainsChanged})
    EXPECT_EQ(Call(opcode, 3, 7, nullptr, 1.0f), 0) << "opcode " << opcode;
}

TEST_F(Dispatcher, EditorRectangleIsFixedAndStable) {
  ERect* first = nullptr;
  ERect* second = nullptr;
  EXPECT_EQ(Call(effEditGetRect, 0, 0, &first), 1);
  EXPECT_EQ(Call(effEditGetRect, 0, 0, &second), 1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->top, 0);
  EXPECT_EQ(first->left, 0);
  EXPECT_EQ(first->bottom, 250);
  EXPECT_EQ(first->right, 402);
}

TEST_F(Dispatcher, EditorDoesNotOpenBeforeTheHostIsSetUp) {
  EXPECT_EQ(Call(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(Call(effEditClose), 0);
}

TEST_F(Dispatcher, NullPointersGetNeutralAnswers) {
  for (VstInt32 opcode :
       {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
        effEditGetRect, effGetChunk, effSetChunk})
    EXPECT_EQ(Call(opcode, 0, 0, nullptr), 0) << opcode;
  EXPECT_EQ(TTestHost::Text(e, effGetProgramName), "Default");
}

TEST_F(Dispatcher, OneProgramOnly) {
  for (VstIntPtr program : {1, 5, 0}) {
    Call(effSetProgram, 0, program);
    EXPECT_EQ(Call(effGetProgram), 0) << program;
  }
}

TEST_F(Dispatcher, ProgramNameFitsTheHostsBuffer) {
  char name[] = "A program name far longer than any host buffer";
  Call(effSetProgramName, 0, 0, name);
  char buffer[64];
  std::memset(buffer, 0x7f, sizeof buffer);
  Call(effGetProgramName, 0, 0, buffer);
  EXPECT_EQ(std::string(buffer), std::string(name, 23));
  EXPECT_EQ(buffer[24], 0x7f) << "wrote past the 24-byte buffer";

  char shortName[] = "Verse";
  Call(effSetProgramName, 0, 0, shortName);
  EXPECT_EQ(TTestHost::Text(e, effGetProgramName), "Verse");
}

TEST_F(Dispatcher, ParameterTexts) {
  const struct {
    VstInt32 Index;
    const char* Name;
    const char* Label;
    const char* Display;
  } cases[] = {{0, "Gain", "dB", "0.0"},
               {1, "Intensity", "%", "100.0"},
               {2, "Out Gain", "dB", "0.0"},
               {-1, "", "", ""},
               {3, "", "", ""},
               {1000, "", "", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(TTestHost::Text(e, effGetParamName, c.Index), c.Name) << c.Index;
    EXPECT_EQ(TTestHost::Text(e, effGetParamLabel, c.Index), c.Label) << c.Index;
    EXPECT_EQ(TTestHost::Text(e, effGetParamDisplay, c.Index), c.Display) << c.Index;
  }
}

TEST_F(Dispatcher, ParameterValuesAreQuantisedAndClamped) {
  const struct {
    VstInt32 Index;
    float Written;
    float Read;
    const char* Display;
  } cases[] = {
      {0, 0.5f, 0.5f, "0.0"},
      {0, 0.3333333f, 0.333333f, "-16.0"},
      {0, 1.0f, 1.0f, "48.0"},
      {0, 0.0f, 0.0f, "-48.0"},
      {1, 1.7f, 1.0f, "100.0"},
      {1, -0.2f, 0.0f, "0.0"},
      {1, std::numeric_limits<float>::quiet_NaN(), 0.0f, "0.0"},
      {1, std::numeric_limits<float>::infinity(), 1.0f, "100.0"},
      {1, 0.0005f, 0.0005f, "0.1"},
      {2, 0.499479f, 0.499479f, "-0.1"},
      {2, 0.49948f, 0.49948f, "0.0"},
  };
  for (const auto& c : cases) {
    e->setParameter(e, c.Index, c.Written);
    EXPECT_EQ(e->getParameter(e, c.Index), c.Read) << c.Index << " " << c.Written;
    EXPECT_EQ(TTestHost::Text(e, effGetParamDisplay, c.Index), c.Display)
        << c.Index << " " << c.Written;
  }
  e->setParameter(e, 3, 0.5f);
  e->setParameter(e, -1, 0.5f);
  EXPECT_EQ(e->getParameter(e, 3), 0.0f);
  EXPECT_EQ(e->getParameter(e, -1), 0.0f);
}

TEST_F(Dispatcher, HostSetParameterIsNotReportedBack) {
  e->setParameter(e, 0, 0.75f);
  EXPECT_TRUE(host.Automations.empty());
}

TEST_F(Dispatcher, CloseReturnsOneAndOnlyMainVersionWasAsked) {
  AEffect* other = host.Open();
  host.Close(other);
  for (VstInt32 opcode : host.Opcodes)
    EXPECT_EQ(opcode, audioMasterVersion);
}
