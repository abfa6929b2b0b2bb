#!/bin/sh
# Builds the portable core natively (clang, AddressSanitizer,
# UndefinedBehaviorSanitizer, libFuzzer) in build/fuzz and fuzzes the timer
# command parser and composer for the given number of seconds (default 30).
# Fails when the fuzzer finds a crash or a broken promise; the input that
# shows it is kept in build/fuzz/artifacts/.
set -e
. "$(dirname "$0")/wine-env.sh"
seconds=${1:-30}
out="$TICKWARD_ROOT/build/fuzz"

if [ ! -f "$out/build.ninja" ]; then
    cmake -S "$TICKWARD_ROOT/fuzz" -B "$out" -G Ninja \
        -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= >/dev/null
fi
cmake --build "$out"

# New inputs go to build/fuzz/corpus (first directory); the checked-in seeds
# are only read.
mkdir -p "$out/corpus" "$out/artifacts"
echo "fuzz: cmdline_fuzz for $seconds s"
"$out/cmdline_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/" -max_len=4096 \
    "$out/corpus" "$TICKWARD_ROOT/fuzz/corpus" 2>"$out/last-run.log" || {
    tail -n 40 "$out/last-run.log"
    echo "fuzz: FAILED (input kept in $out/artifacts/)"
    exit 1
}
grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$out/last-run.log" || true
echo "fuzz: passed"
