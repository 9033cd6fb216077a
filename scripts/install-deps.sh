#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and only
# those that are missing, so that running it again costs nothing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-tidy
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libjpeg62-turbo-dev libpng-dev
  libx11-dev libxtst-dev xvfb xauth x11-utils xdotool
  lv2-dev liblilv-dev lilv-utils
  dpf-source zam-plugins ardour qtractor
  locales
  sox
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

# The display-text tests need a locale whose decimal separator is a comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "generating locale de_DE.UTF-8"
  as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
