#!/usr/bin/env bash
# Proves the Windows filter in Wine's DirectShow: registers the DLL with regsvr32 in a
# fresh prefix, runs the filter in a real graph on three input formats and compares
# what it produces with what `sonavel restore` writes on Linux for the same input and
# profile, checks persistence and automation through COM, then unregisters.
# usage: run-wine-test.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
cleanup() {
  WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
# Runs one step; its own "pass:"/"FAIL:" lines are counted.
step() {
  local output status=0
  output=$("$@" 2>&1) || status=$?
  printf '%s\n' "$output" | grep -E '^(pass|FAIL):' || true
  passed=$((passed + $(printf '%s\n' "$output" | grep -c '^pass:' || true)))
  failed=$((failed + $(printf '%s\n' "$output" | grep -c '^FAIL:' || true)))
  if [ "$status" -ne 0 ] && ! printf '%s\n' "$output" | grep -q '^FAIL:'; then
    echo "FAIL: $* exited with $status"
    printf '%s\n' "$output" | tail -5
    failed=$((failed + 1))
  fi
}
winpath() { echo "Z:${1//\//\\}"; }

sonavel=$linux/apps/sonavel
dll=$windows/PluginBase/Sonavel.dll
tester=$windows/tests/windows/wine_host_test.exe

# Inputs in three formats, made from the demo's damaged passage.
"$sonavel" demo "$work/demo" >/dev/null
sox "$work/demo/damaged.wav" -b 16 -e signed-integer "$work/pcm16-stereo.wav"
sox "$work/demo/damaged.wav" -b 24 -e signed-integer "$work/pcm24-mono.wav" remix 1
sox "$work/demo/damaged.wav" -b 32 -e floating-point "$work/float32-stereo.wav"
"$sonavel" train "$work/pcm16-stereo.wav" "$work/profile.bin" --range 0-1 --quiet
for input in pcm16-stereo pcm24-mono float32-stereo; do
  "$sonavel" restore "$work/$input.wav" "$work/$input.expected.wav" --profile "$work/profile.bin" \
    --quality standard --quiet
done

"$wine" wineboot -i >/dev/null 2>&1 || true
step "$wine" regsvr32 /s "$(winpath "$dll")"
step "$wine" "$tester" registered "$(winpath "$dll")"
step "$wine" "$tester" persist "$(winpath "$work/profile.bin")"
for input in pcm16-stereo pcm24-mono float32-stereo; do
  step "$wine" "$tester" graph "$(winpath "$work/profile.bin")" "$(winpath "$work/$input.wav")" \
    "$(winpath "$work/$input.expected.wav")"
done
step "$wine" regsvr32 /u /s "$(winpath "$dll")"
step "$wine" "$tester" unregistered

echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
