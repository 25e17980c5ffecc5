#!/usr/bin/env bash
# Checks that no folder under src/ includes a header of a layer above it. The
# build enforces the same (each library exports only its own headers and
# those of the layers below); this names the wrong include without a build.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each layer and the folders it may include, lowest first.
declare -A allowed=(
  [platform]="platform"
  [core]="core platform"
  [midi]="midi core platform"
  [module]="module midi core platform"
  [dump]="dump module midi core platform"
  [connection]="connection dump module midi core platform"
  [ui/framework]="ui/framework connection dump module midi core platform"
  [ui/controls]="ui/controls ui/framework connection dump module midi core platform"
  [app]="app ui/controls ui/framework connection dump module midi core platform"
  [editors]="editors app ui/controls ui/framework connection dump module midi core platform"
)

status=0
for layer in "${!allowed[@]}"; do
  [[ -d src/$layer ]] || continue
  while IFS=: read -r file _ text; do
    # The old place of the connection's header, kept for its includers.
    [[ $file == src/connection/forward/* ]] && continue
    # The program itself stands above every layer: it hands the panel its editors.
    [[ $file == src/app/main.cpp ]] && continue
    target=$(sed -E 's/.*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/' <<<"$text")
    folder=${target%%/*}
    [[ $folder == ui ]] && folder=$(cut -d/ -f1-2 <<<"$target")
    # Only headers named by a layer's folder count (not Qt's, not a file beside it).
    [[ -n ${allowed[$folder]+set} ]] || continue
    if [[ " ${allowed[$layer]} " != *" $folder "* ]]; then
      echo "$file includes $target: $layer may not use $folder"
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "src/$layer" --include='*.h' --include='*.cpp' || true)
done
[[ $status == 0 ]] && echo "No layer includes one above it"
exit $status
