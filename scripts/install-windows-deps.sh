#!/usr/bin/env bash
# Installs what the Windows cross-build and its Wine tests need: the MinGW-w64
# compilers, Wine (32- and 64-bit), Xvfb, and the tools to unpack Debian source
# packages. Only what is missing is installed, so running it again costs nothing.
set -euo pipefail

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

updated=0
apt_update() {
  if [ "$updated" -eq 0 ]; then
    as_root apt-get update -qq
    updated=1
  fi
}

# wine32 is an i386 package. It installs even where the kernel executes no
# 32-bit code (the 32-bit tools some of its libraries run on setup fail there
# with a warning only), and its C library's 32-bit loader is what the Windows
# test runner starts to learn whether 32-bit code runs at all.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "adding the i386 architecture"
  as_root dpkg --add-architecture i386
  updated=0
  apt_update
fi

# libjpeg-turbo is cross-built from Debian's source package, so apt needs
# deb-src entries. They mirror the existing binary entries.
has_deb_src() {
  grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}
if ! has_deb_src; then
  echo "enabling Debian source packages"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      as_root tee /etc/apt/sources.list.d/glowrasp-deb-src.sources >/dev/null
  else
    grep -hE '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      as_root tee /etc/apt/sources.list.d/glowrasp-deb-src.list >/dev/null
  fi
  updated=0
  apt_update
fi

packages=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine32:i386 wine64
  xvfb xauth dpkg-dev cmake make libgtest-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt_update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
