#!/bin/sh
# The long reliability runs, beside `make test`:
#   - the load test, round after round: ten Tickward runs at once against a
#     live receiver, then ten more while it drains them; first with a short
#     pause after each job, then with the real 10 s pause;
#   - the mailbox reader through a thousand wake-ups, its handles and memory
#     read from outside the process;
#   - the fault storm: rounds of twenty Tickward runs at once against a live
#     receiver with a short pause, one run killed at a random moment of each
#     round, the receiver killed during its drain and started again in every
#     tenth, and a ledger of every job checked after each round; then the
#     same storm against a receiving application built from the mailbox
#     protocol alone (its lock two registry calls, no guard mutex); and a
#     short storm whose receiver needs longer than Tickward's 60 s start-up
#     window to its first heartbeat (a second copy is allowed, no more);
#   - the timer command parser and composer fuzzed on both cores until ten
#     million executions.
# Takes about 80 minutes. Settings:
#   SOAK_ROUNDS=n        short-pause load rounds (default 5)
#   SOAK_REAL_ROUNDS=n   load rounds with the real pause (default 1)
#   SOAK_WAKEUPS=n       reader wake-ups (default 1000)
#   SOAK_STORM_ROUNDS=n  rounds of each fault storm (default 100)
#   SOAK_STORM_SEED=n    repeats the storm's random choices of an earlier run
#   SOAK_PROTOCOL_STORM_SEED=n  the same for the storm against the protocol-built reader
#   SOAK_SLOW_START_ROUNDS=n  rounds of the storm with the slow start (default 10)
#   SOAK_FUZZ_RUNS=n     fuzz executions (default 10000000)
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh" soak
build i686 x86_64
arch=$(run_arch)
# The long runs are the tests labelled soak; they read the settings above
# themselves (tests/receiver/CMakeLists.txt). CTest's fixture starts the
# build tree's Wine and ends it; wine_env ends it too when interrupted.
wine_env "$arch"
cd "$TICKWARD_ROOT"

started=$(date +%s)
echo "soak: load, ${SOAK_ROUNDS:-5} rounds with a 1 s pause after each job, ${SOAK_REAL_ROUNDS:-1} with the real 10 s pause;"
echo "soak: the reader through ${SOAK_WAKEUPS:-1000} wake-ups; fault storms, ${SOAK_STORM_ROUNDS:-100} rounds each, against the example and the protocol-built reader;"
echo "soak: ${SOAK_SLOW_START_ROUNDS:-10} storm rounds with a receiver that needs 61 to 75 s to its first heartbeat"
run_long ctest --preset "soak-$arch"
run_long "$TICKWARD_ROOT/scripts/fuzz.sh" --runs "${SOAK_FUZZ_RUNS:-10000000}"
echo "soak: passed in $(( $(date +%s) - started )) s"
