#!/usr/bin/env bash
# The renderer against sox's 13-tap FIR filter on the same 60 s stereo 24-bit
# pink-noise file at +24 dB, wall clock: interleaved runs, each after a sync
# so that neither inherits the other's disk writes; medians.
#
#   render-vs-sox.sh RENDERER PLUGIN [RUNS]
set -euo pipefail

renderer=$1
plugin=$2
runs=${3:-9}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

sox -n -r 44100 -c 2 -b 24 "$tmp/in.wav" synth 60 pinknoise vol 0.5

seconds() {
  sync
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / 1000000000" | bc
}

median() {
  sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}

render_times=()
fir_times=()
# A first round of each, untimed, settles the caches and the output files.
for round in $(seq 0 "$runs"); do
  render=$(seconds "$renderer" --plugin "$plugin" --gain 24 -q "$tmp/in.wav" "$tmp/render.wav")
  fir=$(seconds sox "$tmp/in.wav" "$tmp/sox.wav" fir \
    0 0.0165 0 -0.075 0 0.3075 0.5 0.3075 0 -0.075 0 0.0165 0)
  if ((round > 0)); then
    render_times+=("$render")
    fir_times+=("$fir")
  fi
done
render=$(printf '%s\n' "${render_times[@]}" | median)
fir=$(printf '%s\n' "${fir_times[@]}" | median)
echo "60 s stereo 24-bit pink noise at +24 dB: glowrasp-render ${render} s, sox fir (13 taps) ${fir} s" \
  "(wall clock, medians of ${runs} interleaved runs)"
