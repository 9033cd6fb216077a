#!/usr/bin/env bash
# Fails when a file in src/ includes a header of a layer above its own, or a
# platform header outside a backend folder. The layers, bottom to top, and the
# folders each may include (CMakeLists.txt links them the same way):
#
#   base      base
#   toolkit   base toolkit
#   params    base params
#   editor    base toolkit params editor
#   dsp       base, the processor's own headers in shaper/
#   shaper    base params shaper, and the editor's size (header only)
#   instance  the format-neutral seam; the processing side: base params
#             shaper instance; the editor side (EffectEditor.*,
#             EditorResources.*): everything below it
#   vst       everything below it
#   lv2       the DSP side: base params shaper instance lv2; the UI side
#             (LV2UIEntry.cpp, LV2EditorBase.*): everything below it but vst
#   vst3      base instance vst3: the seam only, never the layers under it
#   clap      base instance clap: the same
#
# In src/shaper the effect definition's files are named below; every other
# file there is the signal processor. EffParamsEditor.cpp, the definition's
# editor side, may also use the editor and the toolkit.
#
#   check-layers.sh [SOURCE_DIR]
set -euo pipefail

root=$(realpath "${1:-$(dirname "$0")/..}")
cd "$root/src"

definition_files=(shaper/EffParams.h shaper/EffParams.cpp shaper/DisplayText.h shaper/DisplayText.cpp
  shaper/DecibelSteps.h shaper/DecibelSteps.cpp)
definition_editor_file=shaper/EffParamsEditor.cpp

is_definition() {
  local f
  for f in "${definition_files[@]}" "$definition_editor_file"; do
    [ "$1" = "$f" ] && return 0
  done
  return 1
}

# The include patterns (extended regular expressions over the quoted path)
# that a file may use.
allowed_for() {
  local file=$1
  case "$file" in
  base/*) echo '^base/' ;;
  toolkit/*) echo '^(base|toolkit)/' ;;
  params/*) echo '^(base|params)/' ;;
  editor/*) echo '^(base|toolkit|params|editor)/' ;;
  shaper/*)
    if [ "$file" = "$definition_editor_file" ]; then
      echo '^(base|toolkit|params|editor|shaper)/'
    elif is_definition "$file"; then
      echo '^(base|params|shaper)/|^editor/EditorSize\.h$'
    else
      # The processor may include the shaper's headers except the definition's.
      echo '^base/|^shaper/'
    fi
    ;;
  instance/EffectEditor.* | instance/EditorResources.*)
    echo '^(base|toolkit|params|editor|shaper|instance)/'
    ;;
  instance/*) echo '^(base|params|shaper|instance)/' ;;
  vst/*) echo '^(base|toolkit|params|editor|shaper|instance|vst)/' ;;
  lv2/LV2UIEntry.cpp | lv2/LV2EditorBase.*) echo '^(base|toolkit|params|editor|shaper|instance|lv2)/' ;;
  lv2/*) echo '^(base|params|shaper|instance|lv2)/' ;;
  vst3/*) echo '^(base|instance|vst3)/' ;;
  clap/*) echo '^(base|instance|clap)/' ;;
  *) echo '' ;;
  esac
}

failures=0
report() {
  echo "$1: $2" >&2
  failures=$((failures + 1))
}

while IFS= read -r file; do
  allowed=$(allowed_for "$file")
  if [ -z "$allowed" ]; then
    report "$file" "is in no layer: name its folder here and in CMakeLists.txt"
    continue
  fi
  while IFS= read -r header; do
    if ! [[ "$header" =~ $allowed ]]; then
      report "$file" "includes \"$header\", which its layer may not use"
    elif [[ "$file" != "$definition_editor_file" && "$file" == shaper/* ]] &&
      ! is_definition "$file" && is_definition "$header"; then
      report "$file" "the signal processor includes the effect definition's \"$header\""
    fi
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$file")

  # Window-system and platform headers belong to the backend folders; libjpeg
  # to the toolkit's pictures.
  platform=$(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<((X11\/|windows\.h|windowsx\.h)[^>]*)>.*/\1/p' "$file")
  if [ -n "$platform" ] && ! [[ "$file" =~ ^[a-z0-9]+/(linux|windows)/ ]]; then
    report "$file" "includes the platform header <$platform> outside a backend folder"
  fi
  if grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<jpeglib\.h>' "$file" &&
    [ "$file" != toolkit/Picture.cpp ]; then
    report "$file" "includes <jpeglib.h> outside the toolkit's pictures"
  fi
done < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's#^\./##' | sort)

if [ "$failures" -ne 0 ]; then
  echo "$failures layering fault(s)" >&2
  exit 1
fi
echo "layers: every include in src/ reaches down"
