#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own.
# Layers, top to bottom: app > ui > join > oracle > db > base.
set -euo pipefail
cd "$(dirname "$0")/../src"
layers=(base db oracle join ui app)
status=0
for ((i = 0; i < ${#layers[@]}; i++)); do
  own=${layers[i]}
  for ((j = i + 1; j < ${#layers[@]}; j++)); do
    above=${layers[j]}
    if grep -rn --include='*.h' --include='*.cpp' "#include \"$above/" "$own"; then
      echo "check_layers: $own/ includes from $above/, a layer above it" >&2
      status=1
    fi
  done
done
exit $status
