#!/usr/bin/env bash
# Opens the report `sonavel demo` writes (a restore by the whole chain of crackle, hiss
# and clipping, the noise learnt from the lead-in) in headless Chromium and checks the
# rendered page: a screenshot of the window's size in which every picture appears whole.
# Usage: report-browser-check.sh REPORT_BROWSER_CHECK_BINARY SONAVEL_BINARY
# Exit 77 (skipped) only when no Chromium is installed.
set -euo pipefail
tool=$1
sonavel=$2
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "SKIPPED: Chromium is not installed (Debian package 'chromium'); the report was not checked in a browser"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
width=1280
height=2800
"$sonavel" demo "$work" >/dev/null
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
  --force-device-scale-factor=1 --user-data-dir="$work/profile" --window-size=$width,$height \
  --screenshot="$work/shot.png" "file://$work/report.html" >"$work/browser.log" 2>&1 || {
  cat "$work/browser.log"
  echo "FAILED: Chromium did not render the report"
  exit 1
}
"$tool" "$work/report.html" "$work/shot.png" $width $height
