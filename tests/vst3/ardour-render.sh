#!/usr/bin/env bash
# Ardour renders a session headlessly through the VST3 bundle, and the result
# must be the VST 2 build's render of the same input, bit for bit.
#
#   ardour-render.sh BUNDLE RENDERER
#
# ardour-render.lua builds the session (Dummy backend, 48 kHz, one stereo track
# playing a 3 s float input through the plug-in at non-default settings) and
# ardour7-export renders its master to 32-bit float without normalising.
# Alignment: the plug-in reports 6 frames of latency; Ardour compensates it by
# reading the track's region 6 frames ahead, so the export lines up with the
# input, and the renderer compensates the same 6 frames. Both outputs are the
# input's length and are compared unshifted. Gains and pan are unity (the Lua
# script checks them), and the float path adds no dither.
set -euo pipefail

bundle=$1
renderer=$2
script=$(dirname "$0")/ardour-render.lua
for tool in /usr/lib/ardour7/ardour-vst3-scanner /usr/bin/ardour7-lua /usr/bin/ardour7-export; do
  if [ ! -x "$tool" ]; then
    echo "no $tool: scripts/install-deps.sh installs Ardour" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Ardour keeps its configuration and the scanner's cache under these.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache \
  XDG_DATA_HOME=$work/home/.local/share
# Nothing here opens a window.
unset DISPLAY
mkdir -p "$HOME/.vst3"
ln -s "$(realpath "$bundle")" "$HOME/.vst3/KestruneGlowrasp.vst3"

# Ardour 7.3 now and then hangs or crashes in a race of its own threads (a
# deadlock between its butler and the export's start, a double free when the
# export ends), with or without a plug-in on the track: each step gets a time
# limit and three tries, each from a clean start, and only a finished,
# complete output counts.
run() { # STEP LEFTOVER CHECK COMMAND...
  local step=$1 leftover=$2 check=$3 log=$work/${1// /-}.log status reason
  shift 3
  for try in 1 2 3; do
    rm -rf "$leftover"
    status=0
    timeout -k 10 30 "$@" >"$log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
      "$check" && return 0
      reason="its output is incomplete"
    elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
      reason="timed out"
    else
      reason="exited with status $status: $(grep . "$log" | tail -n 1)"
    fi
    echo "$step: try $try failed: $reason" >&2
  done
  cat "$log" >&2
  echo "FAILED: $step failed three times, the last time: $reason" >&2
  exit 1
}

frames() {
  soxi -s "$1" 2>/dev/null
}
export_is_complete() {
  [ "$(frames "$work/ardour.wav")" = "$(frames "$work/input.wav")" ]
}

# Ardour's Lua tools read only the scanner's cache.
run "the scan" "$XDG_CACHE_HOME/ardour7/vst" true \
  env LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f \
  "$HOME/.vst3/KestruneGlowrasp.vst3"
# Gain, Intensity and Out Gain, off their defaults and off the 10^6 steps'
# grid, so the host's value reaches the plug-in rounded.
settings=(7.3 33.3 -4.7)
run "the session build" "$work/session" true \
  ardour7-lua -- "$script" session "$work" "${settings[@]}"
run "the export" "$work/ardour.wav" export_is_complete \
  ardour7-export -b float -o "$work/ardour.wav" "$work/session" render

"$renderer" "$work/input.wav" "$work/vst2.wav" --gain "${settings[0]}" --intensity "${settings[1]}" \
  --out-gain "${settings[2]}" --float -q || {
  echo "FAILED: the VST 2 render failed" >&2
  exit 1
}
# The interpreter is Ardour's too: only its verdict, status 0 or 1, counts.
for try in 1 2 3; do
  status=0
  result=$(timeout -k 10 30 ardour7-lua -- "$script" compare "$work/ardour.wav" "$work/vst2.wav" \
    2>&1) || status=$?
  [ "$status" -le 1 ] && break
  echo "the comparison: try $try failed with status $status" >&2
done
if [ "$status" -ne 0 ]; then
  [[ $result == *$'\n'* ]] && echo "$result" >&2
  if [ "$status" -eq 1 ]; then
    echo "FAILED: Ardour's render through the VST3 plug-in is not the VST 2 render: ${result##*$'\n'}" >&2
  else
    echo "FAILED: the comparison failed three times: ${result##*$'\n'}" >&2
  fi
  exit 1
fi
echo "Ardour's render through the VST3 plug-in against the VST 2 render: $result"
