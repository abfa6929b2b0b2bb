#!/bin/sh
# Builds both architectures and runs every test under Wine, one at a time
# (ctest's test preset of each tree; arguments go to ctest): the i686 tree,
# the release build, then the x86_64 tree, whose programs ship too. Where
# this machine runs no 32-bit Wine program only the x86_64 tree runs;
# TICKWARD_ARCH=ARCH tests that tree alone.
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh" test
build i686 x86_64
trees=${TICKWARD_ARCH:-}
if [ -z "$trees" ]; then
    trees=x86_64
    [ "$(run_arch)" != i686 ] || trees="i686 x86_64"
    [ "$trees" != x86_64 ] || echo "test: this machine cannot run 32-bit Wine programs; testing the x86_64 build alone"
fi
cd "$TICKWARD_ROOT"
failed="" again=""
for arch in $trees; do
    # CTest's fixture starts the build tree's Wine and ends it; wine_env ends
    # it too when the run is interrupted.
    wine_env "$arch"
    echo "test: the $arch tree"
    run_long ctest --preset "$arch" "$@" && continue
    # Wine now and then fails to start a process; a test that fails twice
    # fails the run, one that passes the second time is named at the end.
    echo "test: the $arch tree: its failed tests once more"
    if run_long ctest --preset "$arch" --rerun-failed "$@"; then
        again="$again $arch"
    else
        failed="$failed $arch"
    fi
done
# The parser and composer of the timer command texts, fuzzed natively for a
# short while; a crash or a broken promise fails the run.
run_long "$TICKWARD_ROOT/scripts/fuzz.sh" "${FUZZ_SECONDS:-30}"
[ -z "$again" ] || again=" (failed tests passed on a second run in:$again; see above)"
if [ -n "$failed" ]; then
    echo "test: trees tested: $trees; failed:$failed$again"
    exit 1
fi
echo "test: trees tested: $trees; all passed$again"
