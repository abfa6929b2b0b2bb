#!/bin/sh
# The two architectures in one prefix, as a 64-bit TV application with the
# 32-bit Tickward: runs app_test's table of recordings that hold a standby,
# with its row for the other build tree's example receiver, in this tree's
# Wine.
#
#   otherarch.sh OTHER_BUILD_DIR OTHER_LOADER
# WINEPREFIX and WINELOADER name this tree's Wine. Exits 77 (skipped, with
# its reason) where the other tree is not built or its Wine cannot run.
set -e
other=$1 loader=$2
[ -f "$other/bin/receiver.exe" ] ||
    { echo "otherarch: SKIPPED: no $other/bin/receiver.exe: make build builds both trees"; exit 77; }
"$loader" --version >/dev/null 2>&1 ||
    { echo "otherarch: SKIPPED: this machine cannot run $loader"; exit 77; }
TICKWARD_OTHER_RECEIVER=$("$WINELOADER" winepath -w "$other/bin/receiver.exe" 2>/dev/null)
export TICKWARD_OTHER_RECEIVER
printf 'otherarch: the recording comes from %s\n' "$TICKWARD_OTHER_RECEIVER"
status=0
out=$("$WINELOADER" ./app_test.exe --gtest_filter='*WithinPowerWaitLimit*' </dev/null 2>&1) || status=$?
printf '%s\n' "$out"
# A filter that matches no test passes too.
[ "$status" = 0 ] && printf '%s\n' "$out" | grep -q '^\[  PASSED  \] 1 test\.' ||
    { echo "otherarch: FAILED"; exit 1; }
