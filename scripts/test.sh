#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite,
# first in a normal build, then again under AddressSanitizer (with leak
# detection) and UndefinedBehaviorSanitizer. TABRINE_JOBS sets the parallel
# jobs (all cores by default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Paths below the checkout are hashed relative to it, so another clone reuses the cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
jobs=${TABRINE_JOBS:-$(nproc)}

echo "== Generated tables match their data files"
scripts/check-generated.sh

echo "== Normal build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABRINE_TESTS=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j "$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTABRINE_SANITIZE=ON -DTABRINE_TESTS=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j "$jobs"
