// The tail extension, which the CLAP 1.1 headers installed with dpf-source do
// not carry: how long the output goes on after the input falls silent.
#pragma once

#include <clap/plugin.h>

#include <cstddef>

static CLAP_CONSTEXPR const char CLAP_EXT_TAIL[] = "clap.tail";

extern "C" {

typedef struct clap_plugin_tail {
  // In frames; INT32_MAX or more means the tail never ends.
  // [main-thread, audio-thread]
  uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);
} clap_plugin_tail_t;

typedef struct clap_host_tail {
  // [audio-thread]
  void(CLAP_ABI* changed)(const clap_host_t* host);
} clap_host_tail_t;

} // extern "C"

// Tables of function pointers, shared with hosts built from other headers.
static_assert(sizeof(clap_plugin_tail_t) == sizeof(void*));
static_assert(offsetof(clap_plugin_tail_t, get) == 0);
static_assert(sizeof(clap_host_tail_t) == sizeof(void*));
static_assert(offsetof(clap_host_tail_t, changed) == 0);
