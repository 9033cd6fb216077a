#!/usr/bin/env bash
# Renders the demo loop through the plug-in at three settings with
# glowrasp-render, draws dry against processed around an attack, takes a
# picture of the editor, and prints what each setting did.
#   scripts/demo.sh BUILD_DIR OUT_DIR [INPUT]
# Without INPUT the loop is synthesised into OUT_DIR/dry.wav.
set -euo pipefail

build=${1:?usage: demo.sh BUILD_DIR OUT_DIR [INPUT]}
out=${2:?usage: demo.sh BUILD_DIR OUT_DIR [INPUT]}
input=${3:-}
tools="$build/tools"
for tool in glowrasp-render glowrasp-demo-loop glowrasp-demo-plot; do
  [ -x "$tools/$tool" ] || { echo "demo.sh: $tools/$tool is missing; build first" >&2; exit 1; }
done

mkdir -p "$out"
if [ -z "$input" ]; then
  input="$out/dry.wav"
  "$tools/glowrasp-demo-loop" "$input"
fi

# name gain(dB) intensity(%) out-gain(dB)
settings=(
  "clean 0 100 0"
  "moderate 6 25 0"
  "heavy 12 100 3"
)

plots=()
for setting in "${settings[@]}"; do
  read -r name gain intensity outgain <<<"$setting"
  "$tools/glowrasp-render" "$input" "$out/$name.wav" --gain "$gain" --intensity "$intensity" \
    --out-gain "$outgain" --stats >"$out/$name.log"
  plots+=("$name=$out/$name.wav")
done
"$tools/glowrasp-demo-plot" "$out/waveforms.png" "$input" "${plots[@]}"
# The editor, opened without a window, with every knob away from its default.
"$tools/glowrasp-render" --editor-screenshot "$out/editor.png" --gain 6 --intensity 60 \
  --out-gain -2 >"$out/editor.log"

# The log's first plug-in line names the binary; --stats adds one with its speed.
echo "plug-in:  $(awk '$1 == "plug-in" { print $2; exit }' "$out/clean.log")"
echo "input:    $input"
echo
printf '%-9s %9s %10s %9s %9s %9s %9s %9s %10s\n' setting gain intensity "out gain" \
  "peak in" "peak out" "rms in" "rms out" speed
for setting in "${settings[@]}"; do
  read -r name _ <<<"$setting"
  # The log's parameter lines end in display text and label; levels are dBFS.
  awk -v name="$name" '
    $1 == "[0]" { gain = $(NF - 1) " " $NF }
    $1 == "[1]" { intensity = $(NF - 1) " " $NF }
    $1 == "[2]" { outgain = $(NF - 1) " " $NF }
    $1 == "peak" { peakIn = $3; peakOut = $6 }
    $1 == "rms" { rmsIn = $3; rmsOut = $6 }
    $1 == "speed" { speed = $2 }
    END {
      printf "%-9s %9s %10s %9s %9s %9s %9s %9s %10s\n", name, gain, intensity, outgain,
             peakIn, peakOut, rmsIn, rmsOut, speed
    }' "$out/$name.log"
done
echo
echo "levels in dBFS; speed as a multiple of real time"
# The plug-in's own texts for the values the picture shows.
shown=$(awk '$1 ~ /^\[[0-9]+\]$/ { $1 = ""; sub(/^ /, ""); list = list sep $0; sep = ", " }
  END { print list }' "$out/editor.log")
echo "editor:   $out/editor.png ($shown)"
echo "wrote $out/: dry and processed WAV files, waveforms.png, editor.png, one log per run"
