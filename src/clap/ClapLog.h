// The log extension, which the CLAP 1.1 headers installed with dpf-source do
// not carry: messages for the host's log, with a severity of their own for a
// host that breaks the format's rules.
#pragma once

#include <clap/plugin.h>

#include <cstddef>

static CLAP_CONSTEXPR const char CLAP_EXT_LOG[] = "clap.log";

extern "C" {

enum {
  CLAP_LOG_DEBUG = 0,
  CLAP_LOG_INFO = 1,
  CLAP_LOG_WARNING = 2,
  CLAP_LOG_ERROR = 3,
  CLAP_LOG_FATAL = 4,
  CLAP_LOG_HOST_MISBEHAVING = 5,
  CLAP_LOG_PLUGIN_MISBEHAVING = 6,
};
typedef int32_t clap_log_severity;

typedef struct clap_host_log {
  // [thread-safe]
  void(CLAP_ABI* log)(const clap_host_t* host, clap_log_severity severity, const char* msg);
} clap_host_log_t;

} // extern "C"

static_assert(sizeof(clap_log_severity) == 4);
static_assert(sizeof(clap_host_log_t) == sizeof(void*));
static_assert(offsetof(clap_host_log_t, log) == 0);
