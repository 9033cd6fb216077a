// Control port values against parameter steps: the rounding a VST host float
// would get, exact at halves, and a way back that lands on the same step.
#include "common/FloatingPointState.h"
#include "instance/EffectInstance.h"
#include "lv2/LV2PortValue.h"
#include "lv2/LV2Ports.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

class TPortValueTest : public ::testing::Test {
protected:
  static std::int32_t Steps(TLV2Port port) {
    return TEffectInstance::Parameter(kLV2Ports[port].Parameter).StepCount;
  }
  TEffectInstance Instance{44100.0};
};

struct TStepCase {
  TLV2Port Port;
  float Value;
  std::int32_t Steps;
};

const TStepCase kStepCases[] = {
    {lpGain, -48.0f, 0},
    {lpGain, 0.0f, 500000},
    {lpGain, 48.0f, 1000000},
    {lpGain, 12.0f, 625000},
    {lpGain, -47.25f, 7812},  // 7812.5: down to even
    {lpGain, -45.75f, 23438}, // 23437.5: up to even
    {lpGain, -1000.0f, 0},
    {lpGain, 1000.0f, 1000000},
    {lpGain, NAN, 0},
    {lpGain, INFINITY, 1000000},
    {lpGain, -INFINITY, 0},
    {lpIntensity, 0.0f, 0},
    {lpIntensity, 100.0f, 1000000},
    {lpIntensity, 0.03125f, 312}, // 312.5: down to even
    {lpIntensity, 0.09375f, 938}, // 937.5: up to even
    {lpIntensity, 50.0f, 500000},
    {lpIntensity, 85.99465f, 859947}, // 859946.518: a 24-bit product would end on .5
    {lpOutGain, -6.0f, 437500},
    {lpOutGain, 48.0f, 1000000},
};

TEST_F(TPortValueTest, MapsToTheNearestStepHalvesToEvenClamped) {
  for (const TStepCase& c : kStepCases)
    EXPECT_EQ(PortValueToStep(kLV2Ports[c.Port], Steps(c.Port), c.Value), c.Steps)
        << kLV2Ports[c.Port].Symbol << " = " << c.Value;
}

// Hosts run plug-ins on threads whose x87 precision and rounding they set
// themselves: the steps must not depend on either, and the host gets its
// setting back.
TEST_F(TPortValueTest, StepsIgnoreTheHostThreadsPrecisionAndRounding) {
  using namespace glowrasp::hosttest;
  const std::uint16_t saved = X87ControlWord();
  const std::uint16_t hostile[] = {
      kWindowsThreadControlWord, // 53-bit precision
      0x007F,                    // 24-bit precision
      0x0F7F,                    // 64-bit precision, rounding toward zero
      0x047F,                    // rounding down
  };
  for (const std::uint16_t word : hostile) {
    SetX87ControlWord(word);
    std::vector<std::int32_t> steps;
    for (const TStepCase& c : kStepCases)
      steps.push_back(PortValueToStep(kLV2Ports[c.Port], Steps(c.Port), c.Value));
    const float back = StepToPortValue(kLV2Ports[lpGain], Steps(lpGain), 625000);
    const std::uint16_t after = X87ControlWord();
    SetX87ControlWord(saved);
    EXPECT_EQ(after, word);
    for (std::size_t i = 0; i < steps.size(); ++i)
      EXPECT_EQ(steps[i], kStepCases[i].Steps)
          << std::hex << "control word 0x" << word << std::dec << ": "
          << kLV2Ports[kStepCases[i].Port].Symbol << " = " << kStepCases[i].Value;
    EXPECT_EQ(back, StepToPortValue(kLV2Ports[lpGain], Steps(lpGain), 625000));
  }
}

TEST_F(TPortValueTest, EveryStepSurvivesTheWayThroughThePortUnitAndTheInstance) {
  for (const TLV2Port port : {lpGain, lpIntensity, lpOutGain}) {
    const std::int32_t steps = Steps(port);
    for (std::int32_t step = 0; step <= steps; ++step) {
      const float value = StepToPortValue(kLV2Ports[port], steps, step);
      ASSERT_EQ(PortValueToStep(kLV2Ports[port], steps, value), step)
          << kLV2Ports[port].Symbol << " = " << value;
    }
  }
  // The instance's float rounding keeps every step: one parameter covers all
  // three, whose ranges are the same.
  const std::int32_t steps = Steps(lpGain);
  for (std::int32_t step = 0; step <= steps; ++step) {
    Instance.SetNormalizedValue(0, StepToNormalized(step, steps));
    ASSERT_EQ(NormalizedToStep(Instance.NormalizedValue(0), steps), step);
  }
}

TEST_F(TPortValueTest, PortsDescribeTheParametersOfTheInstance) {
  for (const TLV2PortDescription& port : kLV2Ports) {
    if (port.Role != prParameter)
      continue;
    SCOPED_TRACE(port.Symbol);
    const TParameterInfo& info = TEffectInstance::Parameter(port.Parameter);
    EXPECT_EQ(port.Minimum, info.Min);
    EXPECT_EQ(port.Maximum, info.Max);
    EXPECT_EQ(port.Default, info.Default);
    EXPECT_EQ(PortValueToStep(port, info.StepCount, port.Default),
              NormalizedToStep(Instance.NormalizedValue(port.Parameter), info.StepCount));
    EXPECT_EQ(PortOfParameter(port.Parameter), port.Index);
  }
}

} // namespace
