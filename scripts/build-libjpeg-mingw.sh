#!/usr/bin/env bash
# Cross-builds libjpeg-turbo as a static library for one MinGW-w64 target,
# from Debian's own source package (Debian ships no MinGW build of it).
#
#   build-libjpeg-mingw.sh TOOLCHAIN_FILE PREFIX [SOURCE_ROOT]
#
# Installs PREFIX/include/jpeglib.h and PREFIX/lib/libjpeg.a. The source
# package is fetched once into SOURCE_ROOT (default build/deb-src) and shared
# by both targets. Does nothing when PREFIX already holds the library.
set -euo pipefail

toolchain=$(realpath "$1")
prefix=$(realpath -m "$2")
source_root=$(realpath -m "${3:-build/deb-src}")

if [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi

mkdir -p "$source_root"
source_dir=$(find "$source_root" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n 1)
if [ -z "$source_dir" ]; then
  # apt needs deb-src entries: scripts/install-windows-deps.sh adds them.
  echo "fetching Debian's libjpeg-turbo source package"
  # As root apt would try, and fail, to download as its own sandbox user.
  sandbox=()
  [ "$(id -u)" -ne 0 ] || sandbox=(-o APT::Sandbox::User=root)
  (cd "$source_root" && apt-get source -qq "${sandbox[@]}" libjpeg-turbo >/dev/null)
  source_dir=$(find "$source_root" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n 1)
fi
[ -n "$source_dir" ] || { echo "no libjpeg-turbo source in $source_root" >&2; exit 1; }

# The SIMD code needs nasm and gives the same pixels as the C code for the
# baseline, non-subsampled pictures of the skin.
build_dir="$prefix-build"
cmake -S "$source_dir" -B "$build_dir" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_INSTALL_LIBDIR=lib \
  -DCMAKE_INSTALL_INCLUDEDIR=include \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
  -DCMAKE_POSITION_INDEPENDENT_CODE=OFF >/dev/null
cmake --build "$build_dir" --target jpeg-static -j "${JOBS:-$(nproc)}" >/dev/null
# Only the library and its headers: the command-line tools are not needed.
install -d "$prefix/lib" "$prefix/include"
install -m 0644 "$build_dir/libjpeg.a" "$prefix/lib/libjpeg.a"
install -m 0644 "$source_dir/jpeglib.h" "$source_dir/jerror.h" "$source_dir/jmorecfg.h" \
  "$build_dir/jconfig.h" "$prefix/include/"
echo "libjpeg-turbo for $(basename "$toolchain" .cmake) in $prefix"
