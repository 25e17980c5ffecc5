#!/usr/bin/env bash
# Regenerates the parameter and value tables from their data files under
# tools/data into a scratch folder and fails when the sources in the tree differ.
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/src/module"
python3 tools/gen_parameter_tables.py tools/data/parameter-tables.md "$scratch" >/dev/null
python3 tools/gen_value_tables.py tools/data/value-formats.md "$scratch/src/module/ValueTables.cpp" >/dev/null
status=0
for f in src/module/ParameterTables.cpp src/module/ParameterIds.h src/module/ValueTables.cpp; do
  if ! cmp -s "$f" "$scratch/$f"; then
    echo "$f is not what tools/ generates from tools/data: run the generators and commit the result" >&2
    status=1
  fi
done
exit $status
