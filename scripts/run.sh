#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it.
#
#   scripts/run.sh [arguments]             the program as a user starts it: the arguments
#                                          name the configuration ("Settings" when there are none)
#   scripts/run.sh --simulated [profile]   the program on a simulated module, for trying it
#                                          without one: see below
#
# With --simulated the script starts a private JACK server (dummy driver, no sound card)
# when none is running, the simulated module (tests/sim, profile "full" unless another of
# tests/sim/data/profiles.json is named) on JACK MIDI ports of its own, and the program
# with the configuration "Simulated", which the simulated module writes for its ports
# (MIDI over JACK, its input and output ports, its device id). What it started is
# stopped when the program ends. The module's traffic goes to simulated-module.log in
# the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

all_args="$*"
simulated=0
profile=full
if [ "${1:-}" = "--simulated" ]; then
  simulated=1
  shift
  if [ $# -gt 0 ]; then
    profile=$1
    shift
  fi
  if [ $# -gt 0 ]; then
    echo "usage: scripts/run.sh --simulated [profile]" >&2
    exit 2
  fi
fi

# The program is a window: without a display it cannot show anything. (Qt's offscreen
# platform, chosen on purpose, needs none.)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "run.sh: no display to show the program on (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  echo "run.sh: start it from a desktop session, or under a virtual X server: xvfb-run scripts/run.sh $all_args" >&2
  exit 1
fi

scripts/deps.sh
# Paths below the checkout are hashed relative to it, so another clone reuses the cache.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
jobs=${TABRINE_JOBS:-4}
# The same build folder as scripts/test.sh, configured the same way, so the
# two never undo each other's configuration.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABRINE_TESTS=ON
if [ "$simulated" = 0 ]; then
  cmake --build build -j "$jobs" --target tabrine
  exec build/src/app/tabrine "$@"
fi
cmake --build build -j "$jobs" --target tabrine tabrine_simmodule

jackd_pid=""
module_pid=""
stop_started() {
  if [ -n "$module_pid" ]; then
    kill -TERM "$module_pid" 2>/dev/null || true
    wait "$module_pid" 2>/dev/null || true
  fi
  if [ -n "$jackd_pid" ]; then
    kill -TERM "$jackd_pid" 2>/dev/null || true
    wait "$jackd_pid" 2>/dev/null || true
  fi
}
trap stop_started EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Whether the JACK server of $JACK_DEFAULT_SERVER (or the default one) runs; asking
# never starts one.
jack_running() { [ "$(JACK_NO_START_SERVER=1 jack_wait --check 2>/dev/null)" = "running" ]; }

# A JACK server that already runs (the user's own) is used as it is; otherwise a
# private one, under a name of its own so that it meets no other.
if ! jack_running; then
  export JACK_DEFAULT_SERVER="tabrine-run-$$"
  export JACK_NO_AUDIO_RESERVATION=1
  # Synchronous, with a long client time-out, as the tests run theirs: on a busy
  # machine a late client then holds the cycle up rather than being thrown out or
  # losing messages.
  jackd --no-realtime --sync -t 10000 -d dummy -r 48000 -p 256 >build/simulated-jackd.log 2>&1 &
  jackd_pid=$!
  for _ in $(seq 100); do
    jack_running && break
    kill -0 "$jackd_pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! jack_running; then
    echo "run.sh: the private JACK server did not start; see build/simulated-jackd.log" >&2
    exit 1
  fi
  echo "run.sh: started a private JACK server \"$JACK_DEFAULT_SERVER\""
fi

# The simulated module writes the configuration "Simulated" once its ports are open,
# then says "ready".
log=build/simulated-module.log
build/tests/sim/tabrine_simmodule --profile "$profile" --configure Simulated --transcript "$log" \
  >build/simulated-module.out 2>&1 &
module_pid=$!
for _ in $(seq 200); do
  grep -q '^ready ' build/simulated-module.out 2>/dev/null && break
  kill -0 "$module_pid" 2>/dev/null || break
  sleep 0.05
done
if ! grep -q '^ready ' build/simulated-module.out 2>/dev/null; then
  echo "run.sh: the simulated module did not start:" >&2
  cat build/simulated-module.out >&2
  exit 1
fi
echo "run.sh: simulated module \"$profile\" on $(sed -n 's/^ready //p' build/simulated-module.out); its traffic goes to $log"

status=0
build/src/app/tabrine Simulated || status=$?
exit "$status"
