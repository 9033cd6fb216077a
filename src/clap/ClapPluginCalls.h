// The C side of a plug-in: the clap_plugin_t record and the extension tables
// a host calls through. Each call checks what the host passed before handing
// over to TClapPlugin, so that a null or stale argument cannot crash it.
#pragma once

#include <clap/plugin.h>

class TClapPlugin;

clap_plugin_t ClapPluginCalls(const clap_plugin_descriptor_t& descriptor, TClapPlugin* plugin);
