#!/bin/sh
# The receiver guide's Delphi and Free Pascal declarations, proven: builds
# Free Pascal's win64 runtime from its installed source (once per build
# tree), takes the guide's unit TwReader as the guide prints it, builds
# pasconsumer (twconsumer's twin, in Delphi mode) against it for win64, and
# runs twreader_test's TwConsumer scenario on it: the real tickward.exe
# starts it with a job, delivers another through the mailbox, and the log
# shows every field of each once.
#
#   pascal.sh SOURCE_DIR BUILD_DIR PROCESSOR
# WINEPREFIX and WINELOADER name the build tree's Wine. Exits 77 (skipped,
# with its reason) where Free Pascal or its runtime's source is missing, and
# in the i686 tree: Debian's Free Pascal builds for win64 only.
set -e
source=$1 build=$2 processor=$3
skip() { echo "pascal: SKIPPED: $*"; exit 77; }
fail() { echo "pascal: FAILED: $*"; exit 1; }
[ "$processor" = x86_64 ] || skip "Free Pascal builds this consumer for win64 only: it runs in the x86_64 tree"
command -v ppcx64 >/dev/null && command -v fpcmake >/dev/null ||
    skip "no Free Pascal (ppcx64, fpcmake): setup.sh test installs fp-compiler-3.2.2 and fp-utils-3.2.2"
rtlsource=$(ls -d /usr/share/fpcsrc/*/rtl 2>/dev/null | tail -n 1)
[ -n "$rtlsource" ] || skip "no Free Pascal runtime source: setup.sh test installs fpc-source-3.2.2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rtl=$build/fpc-rtl
built() { find "$rtl" -name system.ppu 2>/dev/null | head -n 1; }
if [ -z "$(built)" ]; then
    rm -rf "$rtl"
    cp -r "$rtlsource" "$rtl"
    # The source lacks the processor's list of include files; the Makefile
    # reads it for its dependencies only.
    echo 'CPUINCNAMES=$(wildcard $(PROCINC)/*.inc)' >"$rtl/x86_64/makefile.cpu"
    if ! (cd "$rtl" && fpcmake -Twin64 -r && cd win64 &&
          make FPC=ppcx64 OS_TARGET=win64 CPU_TARGET=x86_64) >"$work/rtl.log" 2>&1; then
        cat "$work/rtl.log"
        rm -rf "$rtl"
        fail "the win64 runtime does not build"
    fi
fi
units=$(dirname "$(built)")

sed -n '/^unit TwReader;/,/^end\.$/p' "$source/docs/receiver-guide.md" >"$work/TwReader.pas"
[ -s "$work/TwReader.pas" ] || fail "docs/receiver-guide.md holds no unit TwReader"
cp "$source/tests/release/consumer/pasconsumer.pas" "$work/"
# -n: not the host's configuration, whose units are Linux ones.
if ! ppcx64 -n -Twin64 -Mdelphi -Fu"$units" -vew -FE"$work" "$work/pasconsumer.pas" >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    fail "pasconsumer does not build from the guide's unit"
fi
cp "$build/bin/twreader.dll" "$work/"
TICKWARD_TWCONSUMER=$("$WINELOADER" winepath -w "$work/pasconsumer.exe" 2>/dev/null)
export TICKWARD_TWCONSUMER
printf 'pascal: testing %s\n' "$TICKWARD_TWCONSUMER"
cd "$build/bin"
"$WINELOADER" ./twreader_test.exe --gtest_filter='TwConsumer.*' </dev/null
