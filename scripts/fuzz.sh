#!/usr/bin/env bash
# Mutates inputs for the fuzz targets (tests/fuzz): scripts/fuzz.sh [target] [seconds]
# runs one target ("all" or none: every target) for that many seconds each
# (20 by default), starting from its seed corpus and regression inputs. New
# inputs go to build-asan/fuzz-corpus/<target>, a failing input to
# build-asan/fuzz-artifacts/. Builds the clang sanitizer build with the
# targets when it is missing. Exits non-zero when a target found a fault.
# TABRINE_FUZZ_BUILD names another build folder; TABRINE_JOBS the build's jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-all}
seconds=${2:-20}
build=${TABRINE_FUZZ_BUILD:-build-asan}
targets=(sysex_file settings_file documents caches uploads replies)
if [ "$target" != all ]; then
  [[ " ${targets[*]} " == *" $target "* ]] || { echo "Unknown target: $target (one of: ${targets[*]})" >&2; exit 2; }
  targets=("$target")
fi

export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
if [ ! -f "$build/CMakeCache.txt" ] || ! grep -q '^TABRINE_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DTABRINE_SANITIZE=ON -DTABRINE_FUZZ=ON -DTABRINE_TESTS=ON
fi
cmake --build "$build" -j "${TABRINE_JOBS:-$(nproc)}" --target "${targets[@]/#/fuzz_}"

# A home of its own, as the tests have: nothing a target writes reaches the user's files.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$home/run
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$home/run" && chmod 700 "$home/run"

failed=()
for t in "${targets[@]}"; do
  corpus=$build/fuzz-corpus/$t
  artifacts=$build/fuzz-artifacts
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  for d in tests/fuzz/corpus/$t tests/fuzz/regressions/$t; do
    [ -d "$d" ] && seeds+=("$d")
  done
  echo "== fuzz_$t for ${seconds} s"
  if ! "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
       -artifact_prefix="$artifacts/$t-" -print_final_stats=1 "$corpus" "${seeds[@]}" 2>"$build/fuzz-$t.log"; then
    tail -n 60 "$build/fuzz-$t.log"
    failed+=("$t")
  else
    grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$build/fuzz-$t.log" || true
  fi
done
if ((${#failed[@]})); then
  echo "Faults found by: ${failed[*]} (inputs in $build/fuzz-artifacts)" >&2
  exit 1
fi
