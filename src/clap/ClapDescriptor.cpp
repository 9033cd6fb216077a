#include "clap/ClapDescriptor.h"

#include "base/ProductInfo.h"
#include "base/Version.h"

#include <clap/plugin-features.h>

const clap_plugin_descriptor_t& GlowraspClapDescriptor() {
  static const char* const features[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT,
                                         CLAP_PLUGIN_FEATURE_DISTORTION, CLAP_PLUGIN_FEATURE_STEREO,
                                         nullptr};
  static const clap_plugin_descriptor_t descriptor{CLAP_VERSION_INIT,
                                                   kGlowraspClapId,
                                                   kProductName,
                                                   kVendorName,
                                                   kProductUrl,
                                                   "",
                                                   "",
                                                   kVersionText,
                                                   kProductDescription,
                                                   const_cast<const char**>(features)};
  return descriptor;
}
