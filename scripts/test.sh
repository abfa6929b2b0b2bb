#!/bin/sh
# Builds both architectures and runs every test under Wine, one at a time.
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh"
build i686 x86_64
arch=$(run_arch)
[ "$arch" = i686 ] || echo "test: this machine cannot run 32-bit Wine programs; testing the x86_64 build"
wine_start "$arch"
ctest --test-dir "$TICKWARD_ROOT/build/$arch" -j1 --output-on-failure "$@"
# The parser and composer of the timer command texts, fuzzed natively for a
# short while; a crash or a broken promise fails the run.
"$TICKWARD_ROOT/scripts/fuzz.sh" "${FUZZ_SECONDS:-30}"
