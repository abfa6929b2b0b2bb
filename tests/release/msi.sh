#!/bin/sh
# The Windows Installer package, installed and removed as an operator does,
# silently, in the build tree's Wine. Builds this tree's package twice (the
# same bytes) and one of a lower version from the same files; installs the
# lower one, then this one over it (one entry in the installed-programs
# list, this version); the other architecture's package, through its own
# loader in the same prefix, is refused, and installs once this one is
# uninstalled with KEEPTASKS=1, which keeps a task; from the installed
# place, tickward.exe delivers a
# job to the installed example receiver, which it starts (a start record),
# and twsched makes a task; installing again puts back a deleted file; the
# uninstall removes files, list entry, task and start records and keeps the
# journal, which goes with REMOVEJOURNAL=1.
#
#   msi.sh SOURCE_DIR BUILD_DIR PROCESSOR OTHER_BUILD_DIR OTHER_LOADER
# WINEPREFIX and WINELOADER name the build tree's Wine. Exits 77 (skipped,
# with its reason) where wixl or msitools is missing.
set -u
source=$1 build=$2 processor=$3 other=$4 other_loader=$5
for tool in wixl msidump msibuild; do
    command -v $tool >/dev/null || { echo "msi: SKIPPED: no $tool: setup.sh test installs wixl and msitools"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "msi: FAILED: $*"; failures=$((failures + 1)); }
wine() { "$WINELOADER" "$@" 2>/dev/null | tr -d '\r'; }
arch=x64 other_arch=x86
[ "$processor" = x86_64 ] || arch=x86 other_arch=x64
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

cmake --install "$build" --prefix "$work/stage" >/dev/null
# package VERSION FILE [STAGE ARCH]
package() {
    cmake -DSTAGE="${3:-$work/stage}" -DARCH=${4:-$arch} -DVERSION="$1" -DOUTPUT="$work/$2" \
        -P "$source/cmake/Msi.cmake" >"$work/$2.log" 2>&1 || { cat "$work/$2.log"; fail "no package $2"; exit 1; }
}
package "$version" new.msi
package "$version" again.msi
package 0.0.1 old.msi
other_why=""
[ -f "$other/bin/tickward.exe" ] || other_why="$other is not built"
"$other_loader" --version >/dev/null 2>&1 || other_why="this machine cannot run $other_loader"
if [ -z "$other_why" ]; then
    cmake --install "$other" --prefix "$work/other" >/dev/null
    package "$version" other.msi "$work/other" $other_arch
fi
cmp -s "$work/new.msi" "$work/again.msi" || fail "two builds of the package differ"

local=$("$WINELOADER" winepath -u "$(wine cmd /c echo %LOCALAPPDATA%)" 2>/dev/null)
dir="$local/Programs/Tickward"
windir=$(wine winepath -w "$dir")
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
msi() { "$WINELOADER" msiexec "$@" /qn >/dev/null 2>&1; }
# The installed-programs list: the version of each Tickward entry, in the
# registry's 32-bit view and in its 64-bit one, whichever msiexec wrote it.
listed() {
    for view in 32 64; do
        for key in $(wine reg query "$uninstall_key" /reg:$view | grep '{'); do
            wine reg query "$key" /v DisplayName /reg:$view | grep -q 'REG_SZ *Tickward$' &&
                wine reg query "$key" /v DisplayVersion /reg:$view | sed -n 's/.*REG_SZ *//p'
        done
    done
}
# Wine's Task Scheduler writes to the prefix's own system32, which a 32-bit
# program of a 64-bit prefix sees as syswow64: the folder, not its name.
task_store=$WINEPREFIX/drive_c/windows/system32/tasks
starting='HKCU\SOFTWARE\Tickward\Starting'
has_key() { "$WINELOADER" reg query "$1" >/dev/null 2>&1; }
# Waits up to 30 s for a text in a file.
await() {
    for i in $(seq 300); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
msi /x "$work/new.msi"; msi /x "$work/old.msi"
[ -n "$other_why" ] || "$other_loader" msiexec /x "$work/other.msi" /qn >/dev/null 2>&1
rm -f "$local/Tickward/journal.log" "$local/Tickward/receiver-1-2.log"

msi /i "$work/old.msi" || fail "the lower version did not install"
[ "$(listed)" = 0.0.1 ] || fail "listed after the first install: '$(listed)', not 0.0.1"
msi /i "$work/new.msi" || fail "the upgrade did not install"
[ "$(listed)" = "$version" ] || fail "listed after the upgrade: '$(listed)', not one entry of $version"
[ -f "$dir/tickward.exe" ] && [ -f "$dir/sdk/bin/twreader.dll" ] || fail "no installed files in $dir"

# One Tickward per user, whatever the architecture: the other's package is
# refused; the change the refusal names keeps a task and brings the other's
# files, and the same change back.
if [ -n "$other_why" ]; then
    echo "msi: the $other_arch package is not tested: $other_why"
else
    other_msi() { "$other_loader" msiexec "$@" /qn >/dev/null 2>&1; }
    "$WINELOADER" "$dir/twsched.exe" add "Tickward msi switch" daily 23:30 "$windir\\tickward.exe" '-E;2' >/dev/null 2>&1
    ! other_msi /i "$work/other.msi" || fail "the $other_arch package installed over this one"
    [ "$(listed)" = "$version" ] || fail "listed after the refused $other_arch package: '$(listed)', not one entry"
    cmp -s "$dir/tickward.exe" "$work/stage/tickward.exe" || fail "the refused $other_arch package changed the files"
    msi /x "$work/new.msi" KEEPTASKS=1 && other_msi /i "$work/other.msi" ||
        fail "no change to the $other_arch package as the refusal says"
    [ "$(listed)" = "$version" ] || fail "listed after the change: '$(listed)', not one entry of $version"
    cmp -s "$dir/tickward.exe" "$work/other/tickward.exe" || fail "the change did not put the $other_arch files"
    [ -e "$task_store/Tickward msi switch" ] || fail "the change did not keep the task"
    other_msi /x "$work/other.msi" KEEPTASKS=1 && msi /i "$work/new.msi" || fail "no change back"
    "$WINELOADER" "$dir/twsched.exe" remove "Tickward msi switch" >/dev/null 2>&1
fi

# tickward.exe starts the installed receiver with the job; the installed
# dbgrun runs it with the command line exactly as its file holds it.
printf '"%s\\tickward.exe" "%s\\receiver.exe";010102;P: _SEL;D: 5;Key: ;File: "C:\\Rec\\msi.ts";FM: 1;TO: 1;SO: 0;EO: 0\n' \
    "$windir" "$windir" >"$work/deliver.txt"
"$WINELOADER" "$dir/dbgrun.exe" @"$(wine winepath -w "$work/deliver.txt")" >"$work/deliver.log" 2>&1 ||
    fail "tickward.exe did not deliver: $(tail -n 1 "$work/deliver.log")"
# A receiver still starting would clear the stop: asked once its reader has
# dropped the job's mailbox copy.
await "$local/Tickward/receiver-1-2.log" 'handled already' || fail "the receiver did not serve"
"$WINELOADER" "$dir/receiver.exe" --stop >/dev/null 2>&1
await "$local/Tickward/receiver-1-2.log" 'receiver: stopped' || fail "the receiver did not stop"
grep -q 'File="C:\\Rec\\msi.ts"' "$local/Tickward/receiver-1-2.log" || fail "the receiver got no job"
has_key "$starting" || fail "no start record"
"$WINELOADER" "$dir/twsched.exe" add "Tickward msi test" daily 23:30 "$windir\\tickward.exe" '-E;2' >/dev/null 2>&1
[ -e "$task_store/Tickward msi test" ] || fail "twsched made no task"

rm "$dir/twstatus.exe"
msi /i "$work/new.msi" || fail "the same version did not install again"
[ -f "$dir/twstatus.exe" ] || fail "installing again did not repair"
[ -e "$task_store/Tickward msi test" ] || fail "the repair removed the task"

printed=$("$WINELOADER" msiexec /x "$work/new.msi" /qn 2>/dev/null) || fail "the uninstall failed"
[ -z "$printed" ] || fail "the silent uninstall printed: $printed"
[ ! -e "$dir" ] || fail "left in $dir: $(ls -A "$dir")"
[ -z "$(listed)" ] || fail "still listed: $(listed)"
[ ! -e "$task_store/Tickward msi test" ] || fail "the task is left"
! has_key "$starting" || fail "the start records are left"
[ -f "$local/Tickward/journal.log" ] || fail "the journal went without REMOVEJOURNAL=1"

msi /i "$work/new.msi" && msi /x "$work/new.msi" REMOVEJOURNAL=1 || fail "REMOVEJOURNAL=1 round failed"
[ ! -e "$local/Tickward/journal.log" ] || fail "the journal is left after REMOVEJOURNAL=1"

[ "$failures" -eq 0 ] || exit 1
echo "msi: $arch package $version: installed, upgraded, repaired, delivered and removed as expected"
