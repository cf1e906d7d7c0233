#!/usr/bin/env bash
# Fails when a file of one layer includes a header of a layer above it. Layers, lowest
# first; a layer may include its own headers and those of the layers before it.
# Usage: check-layers.sh SOURCE_DIR
set -euo pipefail
cd "$1"
layers=(platform Util primitives dsp core PluginBase lv2 apps)
status=0
for ((i = 0; i < ${#layers[@]}; ++i)); do
  layer=${layers[i]}
  [ -d "$layer" ] || continue
  above=("${layers[@]:i+1}")
  [ ${#above[@]} -eq 0 ] && continue
  pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*\"($(IFS='|'; echo "${above[*]}"))/"
  if grep -rnE --include='*.h' --include='*.cpp' "$pattern" "$layer"; then
    echo "check-layers: $layer includes a layer above it (lines above)" >&2
    status=1
  fi
done
# The support library (signals and measures for the demo, tests and benchmarks) uses no
# layer, and no layer of the effect below the command line uses it.
if grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[A-Za-z]+/' support |
  grep -v '"support/'; then
  echo "check-layers: support includes a layer (lines above)" >&2
  status=1
fi
for layer in "${layers[@]}"; do
  [ "$layer" = apps ] || [ ! -d "$layer" ] && continue
  if grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"support/' "$layer"; then
    echo "check-layers: $layer includes the support library (lines above)" >&2
    status=1
  fi
done
exit $status
