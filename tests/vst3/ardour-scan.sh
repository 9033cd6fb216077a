#!/usr/bin/env bash
# Ardour's own VST3 scanner on the bundle: it must load it and list it with
# our name, vendor, category and stereo ports. The scanner writes its cache
# under HOME, so it gets a private one.
#
#   ardour-scan.sh BUNDLE
set -euo pipefail

bundle=$1
scanner=/usr/lib/ardour7/ardour-vst3-scanner
if [ ! -x "$scanner" ]; then
  echo "no $scanner: scripts/install-deps.sh installs Ardour" >&2
  exit 1
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# Ardour keeps its libraries in a private folder that its launchers name.
output=$(HOME=$home LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 "$scanner" -f -v "$bundle" 2>&1) || {
  echo "$output" >&2
  echo "the scanner failed" >&2
  exit 1
}
info=$(grep -o '<VST3Info [^>]*>' <<<"$output") || {
  echo "$output" >&2
  echo "the scanner listed nothing" >&2
  exit 1
}
echo "$info"
failures=0
for expected in 'uid="4B475231565354338E2A4C7119D05B3E"' 'name="Kestrune Glowrasp"' \
  'vendor="Kestrune"' 'category="Fx|Distortion"' 'version="1.0.0"' 'n_inputs="2"' \
  'n_outputs="2"' 'n_aux_inputs="0"' 'n_midi_inputs="0"'; do
  if ! grep -qF "$expected" <<<"$info"; then
    echo "missing $expected" >&2
    failures=$((failures + 1))
  fi
done
exit $((failures > 0))
