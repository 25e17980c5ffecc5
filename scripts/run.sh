#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it with the given arguments
# (the arguments name the configuration, "Settings" when there are none).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Paths below the checkout are hashed relative to it, so another clone reuses the cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
jobs=${TABRINE_JOBS:-4}
# The same build folder as scripts/test.sh, configured the same way, so the
# two never undo each other's configuration.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABRINE_TESTS=ON
cmake --build build -j "$jobs" --target tabrine
exec build/src/app/tabrine "$@"
