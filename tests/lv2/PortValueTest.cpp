// Control port values against parameter steps: the rounding a VST host float
// would get, exact at halves, and a way back that lands on the same step.
#include "lv2/LV2PortValue.h"
#include "lv2/LV2Ports.h"
#include "shaper/EffParams.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class TPortValueTest : public ::testing::Test {
protected:
  TVSTParameter& Param(TLV2Port port) {
    return *Definition.ParamHost()->Parameters().Items(kLV2Ports[port].Parameter);
  }
  TEffParameters Definition{nullptr, TVSTEffectOnCreateEditor()};
};

TEST_F(TPortValueTest, MapsToTheNearestStepHalvesToEvenClamped) {
  struct TCase {
    TLV2Port Port;
    float Value;
    std::int32_t Steps;
  };
  const TCase cases[] = {
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
      {lpOutGain, -6.0f, 437500},
      {lpOutGain, 48.0f, 1000000},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(PortValueToCurValue(kLV2Ports[c.Port], Param(c.Port), c.Value), c.Steps)
        << kLV2Ports[c.Port].Symbol << " = " << c.Value;
}

TEST_F(TPortValueTest, EveryStepSurvivesTheWayThroughThePortUnit) {
  for (const TLV2Port port : {lpGain, lpIntensity, lpOutGain}) {
    TVSTParameter& param = Param(port);
    for (std::int32_t step = param.MinValue(); step <= param.MaxValue(); ++step) {
      param.SetCurValue(step);
      const float value = CurValueToPortValue(kLV2Ports[port], param);
      ASSERT_EQ(PortValueToCurValue(kLV2Ports[port], param, value), step)
          << kLV2Ports[port].Symbol << " = " << value;
    }
  }
}

TEST_F(TPortValueTest, PortDefaultsAreTheParameterDefaults) {
  for (const TLV2PortDescription& port : kLV2Ports) {
    if (port.Role != prParameter)
      continue;
    const TVSTParameter& param = Param(port.Index);
    EXPECT_EQ(PortValueToCurValue(port, param, port.Default), param.DefValue()) << port.Symbol;
    EXPECT_EQ(PortOfParameter(port.Parameter), port.Index);
  }
}

} // namespace
