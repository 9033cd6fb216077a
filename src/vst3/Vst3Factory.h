// The module's plug-in factory: factory info, our one class in all three
// forms of class info, and instances of the effect.
#pragma once

#include <travesty/factory.h>

// The factory lives as long as the library; hosts' references only count.
v3_plugin_factory_cpp** Vst3PluginFactory();
// The class ID in this platform's byte order.
const v3_tuid& Vst3ClassId();
