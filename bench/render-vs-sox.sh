#!/usr/bin/env bash
# The renderer against sox's 13-tap FIR filter on the same 60 s stereo 24-bit
# file, wall clock, median of three runs each.
#
#   render-vs-sox.sh RENDERER PLUGIN
set -euo pipefail

renderer=$1
plugin=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

sox -n -r 48000 -c 2 -b 24 "$tmp/in.wav" synth 60 sine 220 sine 331 vol 0.5

median_seconds() {
  local times=()
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc)")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 2p
}

render=$(median_seconds "$renderer" --plugin "$plugin" --gain 24 "$tmp/in.wav" "$tmp/render.wav")
fir=$(median_seconds sox "$tmp/in.wav" "$tmp/sox.wav" fir \
  0 0.0165 0 -0.075 0 0.3075 0.5 0.3075 0 -0.075 0 0.0165 0)
echo "60 s stereo 24-bit at +24 dB: glowrasp-render ${render} s, sox fir (13 taps) ${fir} s (wall clock, medians of 3)"
