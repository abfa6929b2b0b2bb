#!/bin/sh
# The receiver guide's Delphi and Free Pascal declarations, proven in the
# build tree's own architecture: takes the guide's unit TwReader as the
# guide prints it, builds pasconsumer (twconsumer's twin, in Delphi mode)
# against it, and runs twreader_test's TwConsumer scenario on it: the real
# tickward.exe starts it with a job, delivers another through the mailbox,
# and the log shows every field of each once. Then it schedules, lists and
# removes a task through it.
#
# Debian's Free Pascal is the x86_64 compiler alone; its source package holds
# the compiler's and the runtime's sources. Once per build tree this builds
# the Windows runtime for the tree's processor and, for i686 (32-bit, as most
# Delphi applications are), the i386 compiler first.
#
#   pascal.sh SOURCE_DIR BUILD_DIR PROCESSOR
# WINEPREFIX and WINELOADER name the build tree's Wine. Exits 77 (skipped,
# with its reason) where Free Pascal or its source is missing.
set -e
source=$1 build=$2 processor=$3
skip() { echo "pascal: SKIPPED: $*"; exit 77; }
fail() { echo "pascal: FAILED: $*"; exit 1; }
command -v ppcx64 >/dev/null && command -v fpcmake >/dev/null ||
    skip "no Free Pascal (ppcx64, fpcmake): setup.sh test installs fp-compiler-3.2.2 and fp-utils-3.2.2"
fpcsource=$(ls -d /usr/share/fpcsrc/* 2>/dev/null | tail -n 1)
[ -d "$fpcsource/rtl" ] && [ -d "$fpcsource/compiler" ] ||
    skip "no Free Pascal source: setup.sh test installs fpc-source-3.2.2"
case "$processor" in
    x86_64) cpu=x86_64 os=win64 ;;
    *) cpu=i386 os=win32 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# build_once DIR WHAT COMMANDS: runs COMMANDS in a fresh copy of the source
# folder WHAT at DIR, unless DIR is complete already (a .built mark).
build_once() {
    dir=$1 what=$2
    shift 2
    [ ! -f "$dir/.built" ] || return 0
    rm -rf "$dir"
    cp -r "$fpcsource/$what" "$dir"
    if ! (cd "$dir" && eval "$*") >"$work/$what.log" 2>&1; then
        cat "$work/$what.log"
        rm -rf "$dir"
        fail "the $os $what does not build"
    fi
    touch "$dir/.built"
}

compiler=ppcx64
if [ $cpu = i386 ]; then
    # The source leaves out the message files, which the host's compiler has.
    msg=$(ls -d /usr/lib/*/fpc/*/msg 2>/dev/null | head -n 1)
    [ -n "$msg" ] || skip "no Free Pascal message files: setup.sh test installs fp-compiler-3.2.2"
    build_once "$build/fpc-compiler" compiler \
        "cp -r '$msg' msg && fpcmake -Tlinux && make compiler PPC_TARGET=i386 FPC=ppcx64"
    compiler=$build/fpc-compiler/ppc386
fi
# The source lacks the processor's list of include files; the Makefile reads
# it for its dependencies only.
build_once "$build/fpc-rtl" rtl \
    "echo 'CPUINCNAMES=\$(wildcard \$(PROCINC)/*.inc)' >$cpu/makefile.cpu && fpcmake -T$os -r &&
     make -C $os all FPC=$compiler OS_TARGET=$os CPU_TARGET=$cpu"

units=$(dirname "$(find "$build/fpc-rtl" -name system.ppu | head -n 1)")

sed -n '/^unit TwReader;/,/^end\.$/p' "$source/docs/receiver-guide.md" >"$work/TwReader.pas"
[ -s "$work/TwReader.pas" ] || fail "docs/receiver-guide.md holds no unit TwReader"
cp "$source/tests/release/consumer/pasconsumer.pas" "$work/"
# -n: not the host's configuration, whose units are Linux ones.
if ! "$compiler" -n -T$os -Mdelphi -Fu"$units" -vew -FE"$work" "$work/pasconsumer.pas" \
        >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    fail "pasconsumer does not build from the guide's unit"
fi
cp "$build/bin/twreader.dll" "$work/"
TICKWARD_TWCONSUMER=$("$WINELOADER" winepath -w "$work/pasconsumer.exe" 2>/dev/null)
export TICKWARD_TWCONSUMER
printf 'pascal: testing %s (%s)\n' "$TICKWARD_TWCONSUMER" "$os"
cd "$build/bin"
"$WINELOADER" ./twreader_test.exe --gtest_filter='TwConsumer.*' </dev/null

# The scheduling functions and TTwTask's layout: a recording scheduled from
# Pascal, listed with each field as the DLL filled it, and removed.
tickward=$("$WINELOADER" winepath -w "$build/bin/tickward.exe" 2>/dev/null)
"$WINELOADER" "$work/pasconsumer.exe" --schedule "$tickward" </dev/null >"$work/schedule.log" 2>&1 || true
cat "$work/schedule.log"
tr -d '\r' <"$work/schedule.log" | grep -qxF \
    'listed: Tickward test\pascal recording kind 1 next 2099-12-24 20:15 once device 1.2 file D:\Rec\pascal.ts wakes TRUE' ||
    fail "pasconsumer's task is not listed with these fields"
tr -d '\r' <"$work/schedule.log" | grep -qxF 'scheduled: 0 listed: 0 removed: 0 removed again: 17' ||
    fail "pasconsumer could not schedule and remove its task"
echo "pascal: scheduled, listed and removed a task"
