#!/usr/bin/env bash
# Qtractor's plug-in scanner, a real CLAP host, lists the plug-in with its
# name, audio ports, parameters and editor. The scanner reads "CLAP:PATH"
# lines and answers one line per plug-in:
#   CLAP|name|audio ins:outs|midi ins:outs|control ins:outs|flags|path|index|id
#
#   qtractor-scan.sh PLUGIN.clap
set -euo pipefail

scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
plugin=$(realpath "$1")

# No display: the scanner must not need one to list a plug-in.
line=$(echo "CLAP:$plugin" | env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$scanner" 2>/dev/null |
  grep '^CLAP|' || true)
echo "scanner: ${line:-nothing}"
IFS='|' read -r kind name audio midi controls flags path index _ <<<"$line"

failures=0
expect() {
  if [ "$2" != "$3" ]; then
    echo "FAILED: $1 is '$2', expected '$3'" >&2
    failures=$((failures + 1))
  fi
}
expect "kind" "${kind:-}" CLAP
expect "name" "${name:-}" "Kestrune Glowrasp"
expect "audio ports" "${audio:-}" "2:2"
expect "MIDI ports" "${midi:-}" "0:0"
expect "parameters" "${controls:-}" "4:0"
expect "path" "${path:-}" "$plugin"
expect "index" "${index:-}" 0
case ",${flags:-}," in
*,GUI,*) ;;
*) expect "flags" "${flags:-}" "GUI,..." ;;
esac
exit $((failures > 0))
