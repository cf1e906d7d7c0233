#!/usr/bin/env bash
# Installs the build into a scratch root with DESTDIR, as a packager does, and uses it
# from there: sonavel runs, lilv finds both plug-ins in PREFIX/lib/lv2, the man page is
# the --help text.
# Usage: install-test.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=/opt/sonavel-test

DESTDIR=$root cmake --install "$build" --prefix "$prefix" >/dev/null
installed=$root$prefix

"$installed/bin/sonavel" info | grep -q "Reduction Amount"
plugins=$(LV2_PATH=$installed/lib/lv2 lv2ls)
for uri in http://quillon.audio/lv2/sonavel/stereo http://quillon.audio/lv2/sonavel/mono; do
  grep -qx "$uri" <<<"$plugins" || { echo "lv2ls does not list $uri: $plugins" >&2; exit 1; }
done
grep -q '^\.TH SONAVEL 1' "$installed/share/man/man1/sonavel.1"
grep -q 'restore' "$installed/share/man/man1/sonavel.1"
# The bundle in the scratch root must not point back into the build tree.
! grep -rq "$build" "$installed/lib/lv2/sonavel.lv2"/*.ttl
echo "installed and found: $plugins"
