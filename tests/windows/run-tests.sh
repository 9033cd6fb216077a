#!/usr/bin/env bash
# Runs the Windows tests: the import and export tables of the DLLs and of the
# VST3 modules, the host tests, the VST3 tests and a short host-level fuzzer run (FUZZ_SECONDS, default 20) of both DLLs
# under Wine, and the fingerprints of the Linux library and both
# DLLs, which must all be the same; then the 64-bit CLAP plug-in's tables and
# host tests.
#
#   run-tests.sh LINUX_BUILD WIN32_BUILD WIN64_BUILD
#
# Wine runs in a private prefix (WIN32_BUILD/../wine-prefix) without network.
# The tests that need no display run first, without one; the editor tests run
# afterwards under Xvfb. Between the two the prefix's wineserver is stopped: a
# session started without a display makes later windowed programs hang.
set -euo pipefail

linux_build=$(realpath "$1")
builds=("$(realpath "$2")" "$(realpath "$3")")
names=(win32 win64)
objdumps=(i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump)

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

run_wine() {
  timeout 600 "${offline[@]}" wine "$@"
}

tmp=$(mktemp -d)
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# --- The DLLs import system libraries only and export main and VSTPluginMain.
step "import and export tables"
for i in 0 1; do
  dll="${builds[$i]}/KestruneGlowrasp.dll"
  table=$("${objdumps[$i]}" -p "$dll")
  exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^\t\[/ {print $NF} on && /^$/ {on = 0}' \
    <<<"$table" | sort -u | tr '\n' ' ')
  [ "$exports" = "VSTPluginMain main " ] || fail "${names[$i]} exports: $exports"
  imports=$(awk '/DLL Name:/ {print toupper($3)}' <<<"$table" | sort -u | tr '\n' ' ')
  for import in $imports; do
    case "$import" in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL) ;;
    *) fail "${names[$i]} imports $import" ;;
    esac
  done
  echo "   ${names[$i]}: exports $exports| imports $imports($(stat -c %s "$dll") bytes)"
done
# The VST3 module of each build: its three entry points, system libraries only.
vst3_binaries=("${builds[0]}/vst3/KestruneGlowrasp.vst3/Contents/x86-win/KestruneGlowrasp.vst3"
  "${builds[1]}/vst3/KestruneGlowrasp.vst3/Contents/x86_64-win/KestruneGlowrasp.vst3")
for i in 0 1; do
  module=${vst3_binaries[$i]}
  table=$("${objdumps[$i]}" -p "$module")
  exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^\t\[/ {print $NF} on && /^$/ {on = 0}' \
    <<<"$table" | sort -u | tr '\n' ' ')
  [ "$exports" = "ExitDll GetPluginFactory InitDll " ] || fail "${names[$i]} VST3 exports: $exports"
  imports=$(awk '/DLL Name:/ {print toupper($3)}' <<<"$table" | sort -u | tr '\n' ' ')
  for import in $imports; do
    case "$import" in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL) ;;
    *) fail "${names[$i]} VST3 imports $import" ;;
    esac
  done
  echo "   ${names[$i]} VST3: exports $exports| imports $imports($(stat -c %s "$module") bytes)"
done
step_done

# --- Headless: host tests, the decimal comma, fingerprints.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "creating the Wine prefix $WINEPREFIX"
  "${offline[@]}" wineboot -i >/dev/null 2>&1
  wineserver -w
  step_done
fi

for i in 0 1; do
  tests="${builds[$i]}/tests/windows/host/host_tests.exe"
  step "${names[$i]}: host tests"
  run_wine "$tests" --gtest_filter='-EditorWindow.*' --gtest_brief=1 || fail "${names[$i]} host tests"
  step_done
  step "${names[$i]}: VST3 tests (our own host, output against the VST 2 DLL)"
  run_wine "${builds[$i]}/tests/windows/vst3/vst3_tests.exe" --gtest_brief=1 ||
    fail "${names[$i]} VST3 tests"
  step_done
  step "${names[$i]}: host fuzzer"
  run_wine "${builds[$i]}/tests/fuzz/glowrasp-fuzz.exe" --plugin "Z:${builds[$i]}/KestruneGlowrasp.dll" \
    --seconds "${FUZZ_SECONDS:-20}" | tr -d '\r' || fail "${names[$i]} host fuzzer"
  step_done
  step "${names[$i]}: display texts with a decimal comma"
  LC_ALL=de_DE.UTF-8 GLOWRASP_DECIMAL_SEPARATOR=, run_wine "$tests" --gtest_filter='Dispatcher.Parameter*:TypedValues.*' \
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
for i in 0 1; do
  fingerprint="${builds[$i]}/tests/windows/glowrasp-fingerprint.exe"
  dll="Z:${builds[$i]}/KestruneGlowrasp.dll"
  run_wine "$fingerprint" "$dll" | tr -d '\r' >"$tmp/${names[$i]}" ||
    fail "${names[$i]} fingerprint"
  run_wine "$fingerprint" "$dll" --x87-53 | tr -d '\r' >"$tmp/${names[$i]}-x87-53" ||
    fail "${names[$i]} fingerprint at 53-bit precision"
done
GLOWRASP_SIMD=sse2 run_wine "${builds[1]}/tests/windows/glowrasp-fingerprint.exe" \
  "Z:${builds[1]}/KestruneGlowrasp.dll" | tr -d '\r' >"$tmp/win64-sse2" ||
  fail "win64 fingerprint on SSE2"
sed 's/^/   /' "$tmp/linux"
for run in linux-x87-53 linux-sse2 win32 win32-x87-53 win64 win64-x87-53 win64-sse2; do
  diff -u "$tmp/linux" "$tmp/$run" >/dev/null || {
    diff -u "$tmp/linux" "$tmp/$run" || true
    fail "$run computes differently from the Linux library"
  }
done
grep -qx 'kernel-table 2687ba13c2589014202b2f4637d141782b12847ef1d3b6c0d6359a4b07ab76c7' \
  "$tmp/linux" || fail "kernel table digest"
step_done

# --- The 64-bit CLAP plug-in: clap_entry its only export, system imports,
# and its host tests, which hold it against the VST 2 DLL beside it (whose
# fingerprints match the Linux library's above) bit for bit.
step "win64: CLAP plug-in"
clap="${builds[1]}/clap/KestruneGlowrasp.clap"
table=$("${objdumps[1]}" -p "$clap")
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^\t\[/ {print $NF} on && /^$/ {on = 0}' \
  <<<"$table" | sort -u | tr '\n' ' ')
[ "$exports" = "clap_entry " ] || fail "win64 CLAP exports: $exports"
for import in $(awk '/DLL Name:/ {print toupper($3)}' <<<"$table" | sort -u); do
  case "$import" in
  KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL) ;;
  *) fail "win64 CLAP imports $import" ;;
  esac
done
run_wine "${builds[1]}/tests/windows/clap/clap_tests.exe" --gtest_brief=1 || fail "win64 CLAP host tests"
step_done

wineserver -k 2>/dev/null || true
wineserver -w

# --- Under Xvfb: the editor in a window, real mouse input, screenshots.
for i in 0 1; do
  step "${names[$i]}: editor under Xvfb"
  # Wine goes before the display does.
  timeout 600 "${offline[@]}" xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    bash -c 'wine "$1" --gtest_filter="EditorWindow.*" --gtest_brief=1; status=$?
             wineserver -k; wineserver -w; exit $status' \
    run "${builds[$i]}/tests/windows/host/host_tests.exe" || fail "${names[$i]} editor tests"
  step_done
done

if [ "$failures" -gt 0 ]; then
  echo "$failures Windows test step(s) failed" >&2
  exit 1
fi
echo "Windows tests passed"
