// The posix-fd-support extension, which the CLAP 1.1 headers installed with
// dpf-source do not carry: the host watches a descriptor (the editor's X
// connection) in its own event loop and calls back when it is ready.
#pragma once

#include <clap/plugin.h>

#include <cstddef>

static CLAP_CONSTEXPR const char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";

extern "C" {

enum {
  CLAP_POSIX_FD_READ = 1 << 0,
  CLAP_POSIX_FD_WRITE = 1 << 1,
  CLAP_POSIX_FD_ERROR = 1 << 2,
};
typedef uint32_t clap_posix_fd_flags_t;

typedef struct clap_plugin_posix_fd_support {
  // Level-triggered: called as long as the descriptor is ready.
  // [main-thread]
  void(CLAP_ABI* on_fd)(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags);
} clap_plugin_posix_fd_support_t;

typedef struct clap_host_posix_fd_support {
  // [main-thread]
  bool(CLAP_ABI* register_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
  // [main-thread]
  bool(CLAP_ABI* modify_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
  // [main-thread]
  bool(CLAP_ABI* unregister_fd)(const clap_host_t* host, int fd);
} clap_host_posix_fd_support_t;

} // extern "C"

static_assert(sizeof(clap_posix_fd_flags_t) == 4);
static_assert(sizeof(clap_plugin_posix_fd_support_t) == sizeof(void*));
static_assert(offsetof(clap_plugin_posix_fd_support_t, on_fd) == 0);
static_assert(sizeof(clap_host_posix_fd_support_t) == 3 * sizeof(void*));
static_assert(offsetof(clap_host_posix_fd_support_t, register_fd) == 0);
static_assert(offsetof(clap_host_posix_fd_support_t, modify_fd) == sizeof(void*));
static_assert(offsetof(clap_host_posix_fd_support_t, unregister_fd) == 2 * sizeof(void*));
