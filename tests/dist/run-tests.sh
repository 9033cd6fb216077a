#!/usr/bin/env bash
# The release packages: builds them twice, at two build paths, and checks
# that both runs give the same bytes and no binary names a build path; then
# unpacks the Debian package into a scratch root and checks where each file
# goes and its mode, the control fields, that the declared dependencies
# cover every library its binaries link (and no more), the manual pages
# against the tools' own option lists, and lintian; and the archives' layout.
#
#   run-tests.sh [WORK_DIR]     (default build/test-dist)
set -euo pipefail

source_dir=$(realpath "$(dirname "$0")/../..")
work=$(realpath -m "${1:-$source_dir/build/test-dist}")
rm -rf "$work"
mkdir -p "$work"
# Both runs stamp the same time, even if a commit lands in between.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

bash "$source_dir/scripts/dist.sh" "$work/out-a" "$work/build-a"
bash "$source_dir/scripts/dist.sh" "$work/out-b" "$work/build-b"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

out=$work/out-a
items=$work/build-a/linux/dist-items.txt
version=$(awk '$1 == "version" { print $2 }' "$items")
has_format() { awk -v f="$1" '$1 == f { found = 1 } END { exit !found }' "$2"; }
arch=$(dpkg --print-architecture)
deb=$out/kestrune-glowrasp_${version}-1_$arch.deb
tarball=$out/KestruneGlowrasp-$version-linux-x86_64.tar.gz
zipfile=$out/KestruneGlowrasp-$version-windows.zip

# ---- two runs, the same bytes ----

names_a=$(cd "$out" && ls)
names_b=$(cd "$work/out-b" && ls)
[ "$names_a" = "$names_b" ] || fail "the two runs made different files: $names_a / $names_b"
for name in $names_a; do
  cmp -s "$out/$name" "$work/out-b/$name" || fail "$name differs between two runs"
done
for file in "$deb" "$tarball" "$zipfile" "$out/SHA256SUMS"; do
  [ -f "$file" ] || fail "missing $(basename "$file")"
done
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"

# ---- the Debian package in a scratch root ----

root=$work/root
dpkg-deb -x "$deb" "$root"

field() { dpkg-deb -f "$deb" "$1"; }
for expected in "Package=kestrune-glowrasp" "Version=$version-1" "Architecture=$arch" \
  "Section=sound" "Priority=optional"; do
  [ "$(field "${expected%%=*}")" = "${expected#*=}" ] ||
    fail "control field ${expected%%=*} is '$(field "${expected%%=*}")', not '${expected#*=}'"
done
for name in Maintainer Description Installed-Size Depends; do
  [ -n "$(field "$name")" ] || fail "control field $name is empty"
done

# Every entry: its mode, and nothing the package does not mean to install.
lib=./usr/lib
doc=./usr/share/doc/kestrune-glowrasp
expected=(
  "$lib/vst/KestruneGlowrasp.so -rw-r--r--"
  "$lib/lv2/KestruneGlowrasp.lv2/manifest.ttl -rw-r--r--"
  "$lib/lv2/KestruneGlowrasp.lv2/KestruneGlowrasp.ttl -rw-r--r--"
  "$lib/lv2/KestruneGlowrasp.lv2/KestruneGlowrasp_dsp.so -rw-r--r--"
  "$lib/lv2/KestruneGlowrasp.lv2/KestruneGlowrasp_ui.so -rw-r--r--"
  "./usr/bin/glowrasp-render -rwxr-xr-x"
  "./usr/bin/glowrasp-preview -rwxr-xr-x"
  "./usr/share/man/man1/glowrasp-render.1.gz -rw-r--r--"
  "./usr/share/man/man1/glowrasp-preview.1.gz -rw-r--r--"
  "$doc/copyright -rw-r--r--"
  "$doc/changelog.Debian.gz -rw-r--r--"
  "$doc/README.md.gz -rw-r--r--"
)
! has_format clap "$items" || expected+=("$lib/clap/KestruneGlowrasp.clap -rw-r--r--")
if has_format vst3 "$items"; then
  expected+=("$lib/vst3/KestruneGlowrasp.vst3/Contents/x86_64-linux/KestruneGlowrasp.so -rw-r--r--"
    "$lib/vst3/KestruneGlowrasp.vst3/Contents/Resources/moduleinfo.json -rw-r--r--")
fi
listing=$(dpkg-deb -c "$deb" | awk '{ print $6, $1, $2 }')
for entry in "${expected[@]}"; do
  grep -qxF "$entry root/root" <<<"$listing" || fail "the package lacks '$entry' owned by root"
done
while read -r path mode owner; do
  [ "$owner" = root/root ] || fail "$path is owned by $owner"
  if [ "${mode:0:1}" = d ]; then
    [ "$mode" = drwxr-xr-x ] || fail "folder $path has mode $mode"
    continue
  fi
  # A VST3 bundle may hold more than the two files every bundle has.
  case "$path" in ./usr/lib/vst3/KestruneGlowrasp.vst3/*)
    [ "$mode" = -rw-r--r-- ] || fail "$path has mode $mode"
    continue
    ;;
  esac
  grep -qxF "$path $mode" <<<"$(printf '%s\n' "${expected[@]}")" ||
    fail "unexpected entry $path ($mode)"
done <<<"$listing"

# The declared dependencies are exactly the packages of the linked libraries.
depends=$(field Depends | tr ',' '\n' | awk '{ print $1 }' | sort -u)
needed_packages=()
library_cache=$(ldconfig -p)
while IFS= read -r -d '' file; do
  [ "$(head -c 4 "$file" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] || continue
  dynamic=$(readelf -d "$file")
  if grep -qE '\((RPATH|RUNPATH)\)' <<<"$dynamic"; then
    fail "${file#"$root"} carries a library search path"
  fi
  while IFS= read -r soname; do
    library=$(awk -v n="$soname" '$1 == n && /x86-64/ { print $NF; exit }' <<<"$library_cache")
    if [ -z "$library" ]; then
      fail "${file#"$root"} needs $soname, which no installed package has"
      continue
    fi
    owner=$(dpkg -S "$(realpath "$library")" 2>/dev/null || dpkg -S "$library")
    needed_packages+=("${owner%%:*}")
  done < <(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic")
done < <(find "$root" -type f -print0)
needed=$(printf '%s\n' "${needed_packages[@]}" | sort -u)
for package in $needed; do
  grep -qxF "$package" <<<"$depends" || fail "Depends lacks $package, whose library a binary links"
done
for package in $depends; do
  grep -qxF "$package" <<<"$needed" || fail "Depends names $package, which no binary links"
done

# One version everywhere: the package's, the renderer's and the LV2 turtle's.
[ "$("$root/usr/bin/glowrasp-render" --version)" = "glowrasp-render $version" ] ||
  fail "glowrasp-render --version does not say $version"
[ "$("$root/usr/bin/glowrasp-preview" --version)" = "glowrasp-preview $version" ] ||
  fail "glowrasp-preview --version does not say $version"
IFS=. read -r _ minor micro <<<"$version"
ttl=$root/usr/lib/lv2/KestruneGlowrasp.lv2/KestruneGlowrasp.ttl
if ! grep -q "lv2:minorVersion $minor ;" "$ttl" || ! grep -q "lv2:microVersion $micro ;" "$ttl"; then
  fail "the LV2 description does not carry version $version"
fi

# Every option a tool's --help names is in its manual page.
for tool in glowrasp-render glowrasp-preview; do
  page=$(zcat "$root/usr/share/man/man1/$tool.1.gz" | sed 's/\\-/-/g')
  for option in $("$root/usr/bin/$tool" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$option" <<<"$page" || fail "man $tool does not cover $option"
  done
done

# No binary in any package names a path of the build.
scratch=$work/unpacked
mkdir -p "$scratch/tar" "$scratch/zip"
tar -xzf "$tarball" -C "$scratch/tar"
(cd "$scratch/zip" && unzip -q "$zipfile")
for path in "$work/build-a" "$source_dir"; do
  if grep -rlF "$path" "$root" "$scratch"; then
    fail "the files above name the build path $path"
  fi
done

lintian_output=$(lintian --fail-on error "$deb") || fail "lintian reports an error"
[ -z "$lintian_output" ] || echo "$lintian_output"

# ---- the archives ----

top=KestruneGlowrasp-$version-linux-x86_64
tar_listing=$(tar -tvzf "$tarball" --numeric-owner --full-time)
for path in vst/KestruneGlowrasp.so lv2/KestruneGlowrasp.lv2/manifest.ttl \
  bin/glowrasp-render bin/glowrasp-preview INSTALL; do
  grep -qE " $top/$path\$" <<<"$tar_listing" || fail "the Linux archive lacks $top/$path"
done
! has_format vst3 "$items" || grep -qE " $top/vst3/KestruneGlowrasp.vst3/" <<<"$tar_listing" ||
  fail "the Linux archive lacks the VST3 bundle"
! has_format clap "$items" || grep -qE " $top/clap/KestruneGlowrasp.clap\$" <<<"$tar_listing" ||
  fail "the Linux archive lacks the CLAP"
awk '$2 != "0/0" { exit 1 }' <<<"$tar_listing" || fail "the Linux archive has entries not owned by 0/0"
commit_time=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
awk -v t="$commit_time" '$4 " " $5 != t { exit 1 }' <<<"$tar_listing" ||
  fail "the Linux archive has entries not stamped $commit_time"
# shellcheck disable=SC2088 # the text names the folders with a tilde
for dir in .vst .vst3 .clap .lv2; do
  grep -qF -- "~/$dir/" "$scratch/tar/$top/INSTALL" || fail "INSTALL does not name the folder $dir"
done

# The PE machine field: 014c for 32-bit x86, 8664 for x86-64.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
  od -An -tx2 -j $((offset + 4)) -N 2 "$1" | tr -d ' '
}
for entry in "VST2/32-bit/KestruneGlowrasp.dll 014c" "VST2/64-bit/KestruneGlowrasp.dll 8664"; do
  dll=$scratch/zip/${entry% *}
  if [ ! -f "$dll" ]; then
    fail "the Windows archive lacks ${entry% *}"
  elif [ "$(pe_machine "$dll")" != "${entry#* }" ]; then
    fail "${entry% *} is built for machine $(pe_machine "$dll")"
  fi
done
[ -f "$scratch/zip/INSTALL.txt" ] || fail "the Windows archive lacks INSTALL.txt"
[ -f "$scratch/zip/licenses/libjpeg-turbo/LICENSE.md" ] ||
  fail "the Windows archive lacks libjpeg-turbo's licence"
win_items=$work/build-a/win64/dist-items.txt
win_bundle=$scratch/zip/VST3/KestruneGlowrasp.vst3/Contents
for entry in "win64 x86_64-win/KestruneGlowrasp.vst3" "win32 x86-win/KestruneGlowrasp.vst3" \
  "win64 Resources/moduleinfo.json"; do
  ! has_format vst3 "$work/build-a/${entry%% *}/dist-items.txt" || [ -f "$win_bundle/${entry#* }" ] ||
    fail "the Windows archive's VST3 bundle lacks Contents/${entry#* }"
done
! has_format clap "$win_items" || [ -f "$scratch/zip/CLAP/KestruneGlowrasp.clap" ] ||
  fail "the Windows archive lacks the CLAP"

if [ "$failures" -ne 0 ]; then
  echo "$failures release package check(s) failed" >&2
  exit 1
fi
echo "release packages: reproducible, laid out and declared as they should be"
