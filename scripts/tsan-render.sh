#!/usr/bin/env bash
# The renderer's threads (the plug-in on one, reading and writing on the
# other) under ThreadSanitizer: a few seconds of noise through each way in
# and out; every run must end clean.
#
#   tsan-render.sh BUILD_DIR
set -euo pipefail

build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export TSAN_OPTIONS=halt_on_error=1

render() {
  "$build/tools/glowrasp-render" --plugin "$build/KestruneGlowrasp.so" -q "$@"
}

sox -n -r 44100 -c 2 -b 24 "$tmp/in.wav" synth 4 pinknoise vol 0.8
render "$tmp/in.wav" "$tmp/out.wav"
render --stats "$tmp/in.wav" "$tmp/out.wav" >/dev/null
render --float "$tmp/in.wav" "$tmp/out.wav"
render --bits 16 --gain 24 "$tmp/in.wav" "$tmp/out.flac"
render "$tmp/in.wav" - >"$tmp/stream.wav"
render - "$tmp/out.wav" <"$tmp/in.wav"
# A write that fails halfway ends the render with its failure status.
status=0
render "$tmp/in.wav" - >/dev/full 2>/dev/null || status=$?
if ((status != 2)); then
  echo "a failed write ended with status $status, not 2" >&2
  exit 1
fi
# A stop while the file thread waits for a stalled producer: both threads
# wind down, and the tool dies of the signal (a shell's 143).
# Started as a plain command, so that the signal goes to the tool itself.
mkfifo "$tmp/stalled"
"$build/tools/glowrasp-render" --plugin "$build/KestruneGlowrasp.so" -q - "$tmp/out.wav" \
  <"$tmp/stalled" &
pid=$!
exec 3>"$tmp/stalled"
head -c 300000 "$tmp/in.wav" >&3
sleep 1
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
exec 3>&-
if ((status != 143)); then
  echo "a stopped render ended with status $status, not death by SIGTERM" >&2
  exit 1
fi
echo "renderer threads clean under ThreadSanitizer"
