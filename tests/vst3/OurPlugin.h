// Our bundle's binary through the test host, and the material the tests
// feed it.
#pragma once

#include "Vst3Host.h"
#include "common/TestSignals.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Parameter IDs as hosts save them.
enum TParamId : v3_param_id { kGainId = 0, kIntensityId = 1, kOutGainId = 2, kBypassId = 3 };

// One module, host context and initialized instance.
struct TOurPlugin {
  vst3host::TModule Module{GLOWRASP_VST3_BINARY};
  vst3host::THostApplication Host;
  vst3host::TPluginInstance Plugin{Module, Host};

  v3_edit_controller_cpp** Controller() const { return Plugin.Controller().Get(); }
  v3_edit_controller& Ctrl() const { return (*Controller())->ctrl; }
  v3_component_cpp** Component() const { return Plugin.Component().Get(); }
  v3_component& Comp() const { return (*Component())->comp; }
  v3_audio_processor_cpp** Processor() const { return Plugin.Processor().Get(); }
  v3_audio_processor& Proc() const { return (*Processor())->proc; }

  std::vector<std::uint8_t> SavedState() const {
    vst3host::TMemoryStream stream;
    if (Comp().get_state(Component(), stream.Stream()) != V3_OK)
      return {};
    return stream.Bytes();
  }
  // The controller's own state; a refused get_state fails the test.
  std::vector<std::uint8_t> ControllerState() const {
    vst3host::TMemoryStream stream;
    EXPECT_EQ(Ctrl().get_state(Controller(), stream.Stream()), V3_OK);
    return stream.Bytes();
  }
};
