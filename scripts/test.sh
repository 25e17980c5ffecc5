#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite,
# first in a normal build, then again under AddressSanitizer (with leak
# detection) and UndefinedBehaviorSanitizer (built by clang with the fuzz
# targets), and fuzzes each target briefly when there is time. TABRINE_JOBS
# sets the parallel jobs (all cores by default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Paths below the checkout are hashed relative to it, so another clone reuses the cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
jobs=${TABRINE_JOBS:-$(nproc)}

echo "== Generated tables match their data files"
scripts/check-generated.sh

echo "== No layer includes a layer above it"
scripts/check-layers.sh

echo "== Normal build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABRINE_TESTS=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j "$jobs"

# Built by clang, which also builds the fuzz targets (tests/fuzz) in the same
# tree; its tests include replaying every fuzz corpus and regression input.
echo "== AddressSanitizer and UndefinedBehaviorSanitizer build and tests (clang, with the fuzz targets)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DTABRINE_SANITIZE=ON -DTABRINE_FUZZ=ON -DTABRINE_TESTS=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j "$jobs"

# A short mutation pass per fuzz target, only while the whole run stays inside
# its budget (45 minutes on a 2-core machine; TABRINE_CI_BUDGET in seconds).
fuzz_seconds=${TABRINE_FUZZ_SECONDS:-20}
budget=${TABRINE_CI_BUDGET:-2700}
need=$((6 * (fuzz_seconds + 15) + 120))
if ((SECONDS + need <= budget)); then
  echo "== Fuzzing, ${fuzz_seconds} s per target"
  # New inputs found by this short random pass are reported and kept, not made
  # fatal: the replay of every corpus and reproducer above is the gate, and a
  # finding becomes a reproducer there once it is mended.
  if ! TABRINE_JOBS=$jobs scripts/fuzz.sh all "$fuzz_seconds"; then
    echo "== The fuzz pass found inputs that break a property (above); they are kept in build-asan/fuzz-artifacts"
  fi
else
  echo "== Fuzzing skipped: ${SECONDS} s used, ${need} s more would pass the ${budget} s budget"
fi
