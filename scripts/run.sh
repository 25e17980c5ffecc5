#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABRINE_TESTS=OFF
cmake --build build --target tabrine
exec build/src/app/tabrine "$@"
