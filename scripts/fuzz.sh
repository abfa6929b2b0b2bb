#!/bin/sh
# Builds the portable core natively (clang, AddressSanitizer,
# UndefinedBehaviorSanitizer, libFuzzer) in build/fuzz and fuzzes the timer
# command parser and composer:
#   fuzz.sh [SECONDS]   for SECONDS (default 30), one process;
#   fuzz.sh --runs N    until N inputs have been executed, by two processes
#                       at once (one per core), each taking half.
# Fails when the fuzzer finds a crash or a broken promise (the input that
# shows it is kept in build/fuzz/artifacts/), and in the second form also
# when fewer than N executions were counted.
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh" fuzz
out="$TICKWARD_ROOT/build/fuzz"

if [ ! -f "$out/build.ninja" ]; then
    cmake -S "$TICKWARD_ROOT/fuzz" -B "$out" -G Ninja \
        -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= >/dev/null
fi
run_long cmake --build "$out"

# New inputs go to build/fuzz/corpus (first directory); the checked-in seeds
# are only read.
mkdir -p "$out/corpus" "$out/artifacts"
fuzz() {
    run_long "$out/cmdline_fuzz" "$@" -print_final_stats=1 -artifact_prefix="$out/artifacts/" -max_len=4096 \
        "$out/corpus" "$TICKWARD_ROOT/fuzz/corpus"
}
failed() {
    tail -n 40 "$1"
    echo "fuzz: FAILED (input kept in $out/artifacts/)"
    exit 1
}

if [ "${1:-}" != "--runs" ]; then
    seconds=${1:-30}
    echo "fuzz: cmdline_fuzz for $seconds s"
    fuzz -max_total_time="$seconds" 2>"$out/last-run.log" || failed "$out/last-run.log"
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$out/last-run.log" || true
    echo "fuzz: passed"
    exit 0
fi

# libFuzzer's jobs write their output to fuzz-<job>.log in the current
# directory; the parent fails when any job failed.
runs=$2
started=$(date +%s)
echo "fuzz: cmdline_fuzz until $runs executions, two jobs at once"
cd "$out"
rm -f fuzz-*.log
fuzz -jobs=2 -workers=2 -runs=$(( (runs + 1) / 2 )) >"$out/last-run.log" 2>&1 || {
    cat fuzz-*.log >>"$out/last-run.log"
    failed "$out/last-run.log"
}
executed=$(sed -n 's/^stat::number_of_executed_units: *//p' fuzz-*.log | awk '{ n += $1 } END { print n + 0 }')
echo "fuzz: $executed executions in $(( $(date +%s) - started )) s"
[ "$executed" -ge "$runs" ] || { echo "fuzz: FAILED: fewer than $runs executions counted"; exit 1; }
echo "fuzz: passed"
