#!/bin/sh
# The long reliability runs, beside `make test`:
#   - the load test, round after round: twenty Tickward runs at once against a
#     live receiver, then twenty more while it drains them; first with a short
#     pause after each job, then with the real 10 s pause;
#   - the mailbox reader through a thousand wake-ups, its handles and memory
#     read from outside the process;
#   - a long fuzz run of the timer command parser.
# Takes about half an hour. Settings:
#   SOAK_ROUNDS=n        short-pause load rounds (default 5)
#   SOAK_REAL_ROUNDS=n   load rounds with the real pause (default 1)
#   SOAK_WAKEUPS=n       reader wake-ups (default 1000)
#   SOAK_FUZZ_SECONDS=s  fuzzing time (default 600)
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh"
build i686 x86_64
arch=$(run_arch)
wine_start "$arch"
trap wine_stop EXIT INT TERM
bin="$TICKWARD_ROOT/build/$arch/bin"
cd "$bin"

started=$(date +%s)
echo "soak: load, ${SOAK_ROUNDS:-5} rounds with a 1 s pause after each job"
TICKWARD_LOAD_ROUNDS=${SOAK_ROUNDS:-5} TICKWARD_LOAD_PAUSE=1000 \
    "$WINELOADER" "$bin/load_test.exe" </dev/null
echo "soak: load, ${SOAK_REAL_ROUNDS:-1} rounds with the real 10 s pause"
TICKWARD_LOAD_ROUNDS=${SOAK_REAL_ROUNDS:-1} TICKWARD_LOAD_PAUSE=10000 \
    "$WINELOADER" "$bin/load_test.exe" </dev/null
echo "soak: the reader through ${SOAK_WAKEUPS:-1000} wake-ups"
TICKWARD_SOAK_WAKEUPS=${SOAK_WAKEUPS:-1000} "$WINELOADER" "$bin/soak_test.exe" </dev/null
"$TICKWARD_ROOT/scripts/fuzz.sh" "${SOAK_FUZZ_SECONDS:-600}"
echo "soak: passed in $(( $(date +%s) - started )) s"
