// How the plug-in names itself to CLAP hosts: one descriptor, stable id.
#pragma once

#include <clap/plugin.h>

inline constexpr const char* kGlowraspClapId = "com.kestrune.glowrasp";

const clap_plugin_descriptor_t& GlowraspClapDescriptor();
