#!/bin/sh
# Builds both architectures and runs every test under Wine, one at a time
# (ctest's test preset of the architecture this machine runs; arguments go
# to ctest).
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh" test
build i686 x86_64
arch=$(run_arch)
[ "$arch" = i686 ] || echo "test: this machine cannot run 32-bit Wine programs; testing the x86_64 build"
# CTest's fixture starts the build tree's Wine and ends it; wine_env ends it
# too when the run is interrupted.
wine_env "$arch"
cd "$TICKWARD_ROOT"
run_long ctest --preset "$arch" "$@"
# The parser and composer of the timer command texts, fuzzed natively for a
# short while; a crash or a broken promise fails the run.
run_long "$TICKWARD_ROOT/scripts/fuzz.sh" "${FUZZ_SECONDS:-30}"
