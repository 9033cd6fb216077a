#!/usr/bin/env bash
# Builds the release packages of this commit into OUT_DIR: the Debian
# package, the Linux archive, the Windows archive and SHA256SUMS for the three.
#
#   dist.sh [OUT_DIR] [BUILD_ROOT]
#
# OUT_DIR defaults to dist/, BUILD_ROOT to build/dist/, which gets three fresh
# build folders (linux, win32, win64). Each format is taken from where its
# build says it made it (dist-items.txt in each build folder); a format that
# no build makes is left out, and named at the end.
#
# The same commit gives the same bytes: every time stamp is the commit's,
# entries are sorted, owners are root and the binaries carry no build path.
set -euo pipefail

source_dir=$(realpath "$(dirname "$0")/..")
out_dir=$(realpath -m "${1:-$source_dir/dist}")
build_root=$(realpath -m "${2:-$source_dir/build/dist}")
jobs=${JOBS:-$(nproc)}
jpeg_source_root=${JPEG_SOURCE_ROOT:-$source_dir/build/deb-src}

SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8
umask 022

package=kestrune-glowrasp
debian_revision=1
absent=()

# ---- the builds ----

build() {
  local dir=$build_root/$1
  shift
  rm -rf "$dir"
  cmake -S "$source_dir" -B "$dir" --log-level=WARNING -DCMAKE_BUILD_TYPE=Release \
    -DGLOWRASP_DIST=ON -DGLOWRASP_TESTS=OFF -DGLOWRASP_BENCH=OFF "$@"
  cmake --build "$dir" -j "$jobs"
}

# items BUILD FORMAT: the paths that build made for the format, one a line.
items() {
  local list=$build_root/$1/dist-items.txt
  while IFS=' ' read -r format path; do
    [ "$format" = "$2" ] && printf '%s\n' "$path"
  done <"$list"
  return 0
}

# The tools look for the plug-in where the Debian package puts it.
build linux -DGLOWRASP_TOOLS_PLUGIN=/usr/lib/vst/KestruneGlowrasp.so
build win32 -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw-i686.cmake"
build win64 -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw-x86_64.cmake"

version=$(items linux version)
[ -n "$version" ] || { echo "dist: the build names no version" >&2; exit 1; }
arch=$(dpkg --print-architecture)

stage=$build_root/stage
rm -rf "$stage"
mkdir -p "$stage" "$out_dir"

# ---- staging helpers: every file and folder gets a fixed mode ----

# put SOURCE DEST_DIR [MODE]: a file, or a bundle folder with all it holds.
put() {
  local source=$1 dest_dir=$2 mode=${3:-0644}
  mkdir -p "$dest_dir"
  if [ -d "$source" ]; then
    cp -R --no-preserve=all "$source" "$dest_dir/"
    local copied
    copied="$dest_dir/$(basename "$source")"
    find "$copied" -type d -exec chmod 0755 {} +
    find "$copied" -type f -exec chmod 0644 {} +
  else
    install -m "$mode" "$source" "$dest_dir/"
  fi
}

# put_format BUILD FORMAT DEST_DIR LABEL: every item of the format, or noted as absent.
put_format() {
  local paths
  paths=$(items "$1" "$2")
  if [ -z "$paths" ]; then
    absent+=("$4")
    return 0
  fi
  while IFS= read -r path; do
    put "$path" "$3"
  done <<<"$paths"
}

# copy_tree FOLDER DEST_DIR: a staged folder, its modes kept.
copy_tree() {
  mkdir -p "$2"
  cp -R --preserve=mode "$1" "$2/"
}

# version_text TEMPLATE: the text with the version filled in.
version_text() {
  sed "s/@VERSION@/$version/g" "$1"
}

is_elf() {
  [ "$(head -c 4 "$1" | od -An -tx1 | tr -d ' ')" = 7f454c46 ]
}

# Linux binaries lose their symbol tables and the compiler's notes, as
# Debian's own packages do.
strip_elf_files() {
  local file
  while IFS= read -r -d '' file; do
    is_elf "$file" || continue
    if [ -x "$file" ]; then
      strip --remove-section=.comment --remove-section=.note "$file"
    else
      strip --remove-section=.comment --remove-section=.note --strip-unneeded "$file"
    fi
  done < <(find "$1" -type f -print0)
}

# The commit's time on every entry, so no run leaves its own.
fix_times() {
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# ---- the Linux payload, laid out by format, shared by both Linux packages ----

linux=$stage/linux
put_format linux vst2 "$linux/vst" "VST 2 (Linux)"
put_format linux vst3 "$linux/vst3" "VST3 (Linux)"
put_format linux clap "$linux/clap" "CLAP (Linux)"
put_format linux lv2 "$linux/lv2" "LV2"
tools=()
while IFS= read -r path; do
  [ -n "$path" ] || continue
  put "$path" "$linux/bin" 0755
  tools+=("$(basename "$path")")
done < <(items linux tool)
[ ${#tools[@]} -gt 0 ] || absent+=("command-line tools")
strip_elf_files "$linux"
for tool in "${tools[@]}"; do
  put "$source_dir/docs/man/$tool.1" "$linux/man"
done

not_included_note() {
  [ ${#absent[@]} -gt 0 ] || return 0
  local list
  list=$(printf '%s, ' "${absent[@]}")
  printf '\nNot in this release: %s.\n' "${list%, }"
}

# ---- Debian package ----

deb_version=$version-$debian_revision
# dpkg-shlibdeps reads the binaries where a package build puts them.
deb_build=$stage/deb
deb_root=$deb_build/debian/$package
doc_dir=$deb_root/usr/share/doc/$package
for format in vst vst3 clap lv2; do
  [ ! -d "$linux/$format" ] || copy_tree "$linux/$format" "$deb_root/usr/lib"
done
[ ! -d "$linux/bin" ] || copy_tree "$linux/bin" "$deb_root/usr"
for tool in "${tools[@]}"; do
  mkdir -p "$deb_root/usr/share/man/man1"
  gzip -9n <"$linux/man/$tool.1" >"$deb_root/usr/share/man/man1/$tool.1.gz"
done
mkdir -p "$doc_dir"
install -m 0644 "$source_dir/packaging/debian/copyright" "$doc_dir/copyright"
gzip -9n <"$source_dir/README.md" >"$doc_dir/README.md.gz"
sed -e "s/@VERSION@/$deb_version/g" -e "s/@UPSTREAM_VERSION@/$version/g" \
  -e "s/@DATE@/$(date -R -d "@$SOURCE_DATE_EPOCH")/g" \
  "$source_dir/packaging/debian/changelog.in" | gzip -9n >"$doc_dir/changelog.Debian.gz"
find "$deb_root" -type d -exec chmod 0755 {} +
find "$deb_root" -type f -exec chmod go-w {} +

# The dependencies: the packages holding the libraries the binaries link.
elf_files=()
while IFS= read -r -d '' file; do
  is_elf "$file" && elf_files+=("$file")
done < <(find "$deb_root" -type f -print0 | sort -z)
# It finds the package's root by its DEBIAN folder.
mkdir -p "$deb_root/DEBIAN"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" \
  >"$deb_build/debian/control"
depends=$(cd "$deb_build" && dpkg-shlibdeps -O "${elf_files[@]#"$deb_build/"}" |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "dist: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

# Installed-Size as dpkg counts it: KiB per file, rounded up, and one per folder.
installed_size=$(find "$deb_root" -mindepth 1 -path "$deb_root/DEBIAN" -prune -o \
  \( -type f -printf '%s\n' -o -printf '1024\n' \) |
  awk '{ total += int(($1 + 1023) / 1024) } END { print total }')

sed -e "s/@VERSION@/$deb_version/" -e "s/@ARCH@/$arch/" -e "s/@DEPENDS@/$depends/" \
  -e "s/@INSTALLED_SIZE@/$installed_size/" "$source_dir/packaging/debian/control.in" \
  >"$deb_root/DEBIAN/control"
(cd "$deb_root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$deb_root/DEBIAN/md5sums"
chmod 0644 "$deb_root/DEBIAN/control" "$deb_root/DEBIAN/md5sums"
fix_times "$deb_root"
deb_file=${package}_${deb_version}_$arch.deb
# One compressor thread: its output then does not depend on the machine's cores.
dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$deb_root" "$out_dir/$deb_file" >/dev/null

# ---- Linux archive ----

tar_name=KestruneGlowrasp-$version-linux-x86_64
tar_root=$stage/tar/$tar_name
mkdir -p "$tar_root"
for folder in vst vst3 clap lv2 bin man; do
  [ ! -d "$linux/$folder" ] || copy_tree "$linux/$folder" "$tar_root"
done
{
  version_text "$source_dir/packaging/linux/INSTALL"
  not_included_note
} >"$tar_root/INSTALL"
put "$source_dir/README.md" "$tar_root"
fix_times "$tar_root"
tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner --format=gnu \
  -C "$stage/tar" -cf - "$tar_name" | gzip -9n >"$out_dir/$tar_name.tar.gz"

# ---- Windows archive ----

zip_name=KestruneGlowrasp-$version-windows
zip_root=$stage/zip
put_format win32 vst2 "$zip_root/VST2/32-bit" "VST 2 (Windows 32-bit)"
put_format win64 vst2 "$zip_root/VST2/64-bit" "VST 2 (Windows 64-bit)"
# One VST3 bundle holds both Windows architectures. A cross build makes the
# binaries alone; the module description, the same on every platform, comes
# from the Linux bundle.
put_format win64 vst3 "$zip_root/VST3" "VST3 (Windows 64-bit)"
put_format win32 vst3 "$zip_root/VST3" "VST3 (Windows 32-bit)"
for bundle in "$zip_root"/VST3/*.vst3; do
  if [ ! -d "$bundle" ] || [ -e "$bundle/Contents/Resources/moduleinfo.json" ]; then
    continue
  fi
  module_info="$linux/vst3/$(basename "$bundle")/Contents/Resources/moduleinfo.json"
  [ -f "$module_info" ] || { echo "dist: no module description for $bundle" >&2; exit 1; }
  put "$module_info" "$bundle/Contents/Resources"
done
put_format win64 clap "$zip_root/CLAP" "CLAP (Windows)"
# libjpeg-turbo is linked into the DLLs, so its licence travels with them.
jpeg_source=$(find "$jpeg_source_root/" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n 1)
[ -n "$jpeg_source" ] || { echo "dist: no libjpeg-turbo source in $jpeg_source_root" >&2; exit 1; }
for notice in LICENSE.md README.ijg; do
  put "$jpeg_source/$notice" "$zip_root/licenses/libjpeg-turbo"
done
# Windows line ends, for every editor there.
{
  version_text "$source_dir/packaging/windows/INSTALL.txt"
  not_included_note
} | sed 's/$/\r/' >"$zip_root/INSTALL.txt"
fix_times "$zip_root"
rm -f "$out_dir/$zip_name.zip"
(cd "$zip_root" && find . -mindepth 1 -printf '%P\n' | sort | zip -X -9 -q "$out_dir/$zip_name.zip" -@)

# ---- checksums ----

(cd "$out_dir" && sha256sum "$deb_file" "$tar_name.tar.gz" "$zip_name.zip" >SHA256SUMS)

echo "dist: $out_dir/$deb_file"
echo "dist: $out_dir/$tar_name.tar.gz"
echo "dist: $out_dir/$zip_name.zip"
echo "dist: $out_dir/SHA256SUMS"
if [ ${#absent[@]} -gt 0 ]; then
  for format in "${absent[@]}"; do
    echo "dist: not in this release (no build makes it): $format"
  done
fi
