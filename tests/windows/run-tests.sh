#!/usr/bin/env bash
# Runs the Windows tests: the machine types and import and export tables of
# the DLLs, the VST3 modules and the 64-bit CLAP plug-in, the host tests, the
# VST3, CLAP and cross-format tests and a short host-level fuzzer run
# (FUZZ_SECONDS, default 20) of both DLLs under Wine, and the fingerprints of
# the Linux library and both DLLs, which must all be the same.
#
#   run-tests.sh LINUX_BUILD WIN32_BUILD WIN64_BUILD
#
# Wine runs in a private prefix (WIN32_BUILD/../wine-prefix) without network.
# On a kernel that executes no 32-bit code only the 64-bit DLL runs under
# Wine; the 32-bit one still has its tables checked.
# The tests that need no display run first, without one; the editor tests run
# afterwards under Xvfb. Between the two the prefix's wineserver is stopped: a
# session started without a display makes later windowed programs hang.
set -euo pipefail

linux_build=$(realpath "$1")
builds=("$(realpath "$2")" "$(realpath "$3")")
names=(win32 win64)
objdumps=(i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump)
formats=(pei-i386 pei-x86-64)

export WINEPREFIX
WINEPREFIX=$(realpath -m "${builds[0]}/../wine-prefix")
export WINEDEBUG=-all
# No Mono or Gecko: Wine would offer to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Numbers in the C locale; one run below switches to a comma.
export LC_ALL=C.UTF-8

# Without network, where the system allows a namespace of our own.
offline=()
if unshare --net true 2>/dev/null; then
  offline=(unshare --net)
fi

failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

step_start=0
step() {
  step_start=$SECONDS
  echo "== $*"
}
step_done() { echo "   ($((SECONDS - step_start)) s)"; }

# The 32-bit dynamic loader is a program of its own: whether the kernel runs
# it says whether it runs 32-bit code at all. Without it (no wine32 either)
# the 32-bit runs go ahead and fail as they always did.
kernel_runs_32bit_code() {
  [ ! -e /lib/ld-linux.so.2 ] || /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Wine's `wine` and `wineboot` front ends start its 32-bit loader first, which
# hands a 64-bit program on to the 64-bit one. A kernel without 32-bit code
# refuses that first step even for a 64-bit program, so there the 64-bit
# loader starts 64-bit programs and wineboot itself. wine_builds: the indexes
# of the builds whose programs run under Wine.
if kernel_runs_32bit_code; then
  wine64=(wine)
  wineboot=(wineboot)
  wine_builds=(0 1)
else
  wine64=(/usr/lib/wine/wine64)
  wineboot=(/usr/lib/wine/wine64 wineboot)
  wine_builds=(1)
fi

# Set (as a local) by under_xvfb for the programs it runs.
display=()

# Starts a 64-bit Windows program under Wine: run_win64 PROGRAM [ARGS...]
run_win64() {
  timeout 600 "${offline[@]}" "${display[@]}" "${wine64[@]}" "$@"
}

# Starts a 32-bit Windows program under Wine; only where kernel_runs_32bit_code.
run_win32() {
  timeout 600 "${offline[@]}" "${display[@]}" wine "$@"
}
runners=(run_win32 run_win64)

# Runs a run_win* call against a display of its own. Wine goes before the
# display does.
under_xvfb() {
  local display=(xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp"
    bash -c '"$@"; status=$?; wineserver -k; wineserver -w; exit $status' run)
  "$@"
}

# The names a PE file exports and the DLLs it imports, from its
# `objdump -p` table: sorted, each followed by a space.
exports_of() {
  awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^\t\[/ {print $NF} on && /^$/ {on = 0}' \
    <<<"$1" | sort -u | tr '\n' ' '
}
imports_of() {
  awk '/DLL Name:/ {print toupper($3)}' <<<"$1" | sort -u | tr '\n' ' '
}

# Fails for each import that is not a system library: check_imports LABEL IMPORTS
check_imports() {
  local import
  for import in $2; do
    case "$import" in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL) ;;
    *) fail "$1 imports $import" ;;
    esac
  done
}

tmp=$(mktemp -d)
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# --- The DLLs are built for their machines, import system libraries only and
# export main and VSTPluginMain.
step "machine types, import and export tables"
for i in 0 1; do
  dll="${builds[$i]}/KestruneGlowrasp.dll"
  format=$("${objdumps[$i]}" -f "$dll" | awk '/file format/ {print $NF}')
  [ "$format" = "${formats[$i]}" ] || fail "${names[$i]} is $format, not ${formats[$i]}"
  table=$("${objdumps[$i]}" -p "$dll")
  exports=$(exports_of "$table")
  [ "$exports" = "VSTPluginMain main " ] || fail "${names[$i]} exports: $exports"
  imports=$(imports_of "$table")
  check_imports "${names[$i]}" "$imports"
  echo "   ${names[$i]}: $format, exports $exports| imports $imports($(stat -c %s "$dll") bytes)"
done
# The VST3 module of each build: its three entry points, system libraries only.
vst3_binaries=("${builds[0]}/vst3/KestruneGlowrasp.vst3/Contents/x86-win/KestruneGlowrasp.vst3"
  "${builds[1]}/vst3/KestruneGlowrasp.vst3/Contents/x86_64-win/KestruneGlowrasp.vst3")
for i in 0 1; do
  module=${vst3_binaries[$i]}
  table=$("${objdumps[$i]}" -p "$module")
  exports=$(exports_of "$table")
  [ "$exports" = "ExitDll GetPluginFactory InitDll " ] || fail "${names[$i]} VST3 exports: $exports"
  imports=$(imports_of "$table")
  check_imports "${names[$i]} VST3" "$imports"
  echo "   ${names[$i]} VST3: exports $exports| imports $imports($(stat -c %s "$module") bytes)"
done
step_done

if [ "${#wine_builds[@]}" -lt 2 ]; then
  echo "32-bit Windows tests not run: this machine's kernel executes no 32-bit code"
fi

# --- Headless: host tests, the decimal comma, fingerprints.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "creating the Wine prefix $WINEPREFIX"
  "${offline[@]}" "${wineboot[@]}" -i >"$tmp/wineboot.log" 2>&1 || {
    cat "$tmp/wineboot.log" >&2
    echo "FAILED: creating the Wine prefix" >&2
    exit 1
  }
  wineserver -w
  step_done
fi

for i in "${wine_builds[@]}"; do
  run=${runners[$i]}
  tests="${builds[$i]}/tests/windows/host/host_tests.exe"
  step "${names[$i]}: host tests"
  "$run" "$tests" --gtest_filter='-EditorWindow.*' --gtest_brief=1 || fail "${names[$i]} host tests"
  step_done
  step "${names[$i]}: VST3 tests (our own host)"
  "$run" "${builds[$i]}/tests/windows/vst3/vst3_tests.exe" --gtest_brief=1 ||
    fail "${names[$i]} VST3 tests"
  step_done
  step "${names[$i]}: every format's output against the golden runs and the VST 2 DLL, and state"
  "$run" "${builds[$i]}/tests/windows/formats/format_tests.exe" --gtest_brief=1 ||
    fail "${names[$i]} format tests"
  step_done
  step "${names[$i]}: host fuzzer"
  "$run" "${builds[$i]}/tests/fuzz/glowrasp-fuzz.exe" --plugin "Z:${builds[$i]}/KestruneGlowrasp.dll" \
    --seconds "${FUZZ_SECONDS:-20}" | tr -d '\r' || fail "${names[$i]} host fuzzer"
  step_done
  step "${names[$i]}: display texts with a decimal comma"
  LC_ALL=de_DE.UTF-8 GLOWRASP_DECIMAL_SEPARATOR=, "$run" "$tests" --gtest_filter='Dispatcher.Parameter*:TypedValues.*' \
    --gtest_brief=1 || fail "${names[$i]} texts with a decimal comma"
  step_done
done

step "fingerprints"
"$linux_build/tests/windows/glowrasp-fingerprint" "$linux_build/KestruneGlowrasp.so" \
  >"$tmp/linux" || fail "linux fingerprint"
"$linux_build/tests/windows/glowrasp-fingerprint" "$linux_build/KestruneGlowrasp.so" --x87-53 \
  >"$tmp/linux-x87-53" || fail "linux fingerprint at 53-bit precision"
# The processing's baseline instruction set, forced where AVX2 would be
# chosen: every variant must compute the same.
GLOWRASP_SIMD=sse2 "$linux_build/tests/windows/glowrasp-fingerprint" \
  "$linux_build/KestruneGlowrasp.so" >"$tmp/linux-sse2" || fail "linux fingerprint on SSE2"
runs=(linux-x87-53 linux-sse2)
for i in "${wine_builds[@]}"; do
  run=${runners[$i]}
  fingerprint="${builds[$i]}/tests/windows/glowrasp-fingerprint.exe"
  dll="Z:${builds[$i]}/KestruneGlowrasp.dll"
  "$run" "$fingerprint" "$dll" | tr -d '\r' >"$tmp/${names[$i]}" ||
    fail "${names[$i]} fingerprint"
  "$run" "$fingerprint" "$dll" --x87-53 | tr -d '\r' >"$tmp/${names[$i]}-x87-53" ||
    fail "${names[$i]} fingerprint at 53-bit precision"
  runs+=("${names[$i]}" "${names[$i]}-x87-53")
done
GLOWRASP_SIMD=sse2 run_win64 "${builds[1]}/tests/windows/glowrasp-fingerprint.exe" \
  "Z:${builds[1]}/KestruneGlowrasp.dll" | tr -d '\r' >"$tmp/win64-sse2" ||
  fail "win64 fingerprint on SSE2"
runs+=(win64-sse2)
sed 's/^/   /' "$tmp/linux"
for run in "${runs[@]}"; do
  diff -u "$tmp/linux" "$tmp/$run" >/dev/null || {
    diff -u "$tmp/linux" "$tmp/$run" || true
    fail "$run computes differently from the Linux library"
  }
done
grep -qx 'kernel-table 2687ba13c2589014202b2f4637d141782b12847ef1d3b6c0d6359a4b07ab76c7' \
  "$tmp/linux" || fail "kernel table digest"
step_done

# --- The 64-bit CLAP plug-in: clap_entry its only export, system imports,
# and its host tests. (The format tests above hold its output against the
# golden runs and the VST 2 DLL beside it bit for bit.)
step "win64: CLAP plug-in"
clap="${builds[1]}/clap/KestruneGlowrasp.clap"
table=$("${objdumps[1]}" -p "$clap")
exports=$(exports_of "$table")
[ "$exports" = "clap_entry " ] || fail "win64 CLAP exports: $exports"
check_imports "win64 CLAP" "$(imports_of "$table")"
run_win64 "${builds[1]}/tests/windows/clap/clap_tests.exe" --gtest_filter='-ClapEditorWindow.*' \
  --gtest_brief=1 || fail "win64 CLAP host tests"
step_done

wineserver -k 2>/dev/null || true
wineserver -w

# --- Under Xvfb: the editor in a window, real mouse input, screenshots.
for i in "${wine_builds[@]}"; do
  step "${names[$i]}: editor under Xvfb"
  under_xvfb "${runners[$i]}" "${builds[$i]}/tests/windows/host/host_tests.exe" \
    --gtest_filter="EditorWindow.*" --gtest_brief=1 || fail "${names[$i]} editor tests"
  step_done
done

step "win64: CLAP editor under Xvfb"
under_xvfb run_win64 "${builds[1]}/tests/windows/clap/clap_tests.exe" \
  --gtest_filter='ClapEditorWindow.*' --gtest_brief=1 || fail "win64 CLAP editor tests"
step_done

if [ "$failures" -gt 0 ]; then
  echo "$failures Windows test step(s) failed" >&2
  exit 1
fi
echo "Windows tests passed"
