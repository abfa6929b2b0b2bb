#!/bin/sh
# Installs what one target of the Makefile needs on Debian 12 and does
# nothing when it is all there already. Safe to run again and again.
#
#   setup.sh [build|dist|demo|bench|test|soak|fuzz]    (default: test)
#
# Wine's 32-bit part (the i386 architecture and wine32:i386) is added only
# where this machine runs 32-bit programs: elsewhere Wine's 32-bit loader
# cannot start either, and the scripts run the x86_64 build instead.
# TICKWARD_WINE32=1 adds it all the same, TICKWARD_WINE32=0 never.
# Free Pascal (for the Pascal consumer test) and wixl with msitools (for the
# installer's test) are installed for the tests as well, but a test without
# them is skipped: their failed install stops nothing. make dist needs wixl.
# A package index that cannot be fetched (a mirror in the middle of a sync)
# stops nothing: the install is tried with the indexes that did load, and
# only a failed install of what the target cannot do without stops setup.
set -e

say() { echo "setup: $*"; }

toolchain="make cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64"
wine="wine wine64"
clang="clang libclang-rt-14-dev"
pascal="fp-compiler-3.2.2 fp-utils-3.2.2 fpc-source-3.2.2"
msi="wixl msitools"
optional=""
target=${1:-test}
case "$target" in
    build) packages="$toolchain" ;;
    dist) packages="$toolchain fakeroot $msi" ;;
    demo|bench) packages="$toolchain $wine" ;;
    test) packages="$toolchain $wine googletest $clang" optional="$pascal $msi" ;;
    soak) packages="$toolchain $wine googletest $clang" ;;
    fuzz) packages="make cmake ninja-build $clang" ;;
    *) say "unknown target '$target' (build, dist, demo, bench, test, soak or fuzz)"; exit 2 ;;
esac

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# A 32-bit Linux program that does nothing but exit 0. TICKWARD_PROBE32 names
# another program to run instead (the setup test's stand-in).
runs_32bit() {
    if [ -n "${TICKWARD_PROBE32:-}" ]; then
        "$TICKWARD_PROBE32" >/dev/null 2>&1
        return
    fi
    probe=$(mktemp) || return 1
    printf '\177\105\114\106\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\61\333\315\200' > "$probe"
    chmod +x "$probe"
    ran=1
    "$probe" >/dev/null 2>&1 || ran=0
    rm -f "$probe"
    [ "$ran" = 1 ]
}

wants_wine32() {
    case "$packages" in *wine*) ;; *) return 1 ;; esac
    case "${TICKWARD_WINE32:-}" in
        1) return 0 ;;
        0) return 1 ;;
    esac
    runs_32bit
}

need=""
for p in $packages; do
    have_pkg "$p" || need="$need $p"
done
needopt=""
for p in $optional; do
    have_pkg "$p" || needopt="$needopt $p"
done
need32="" add_i386=""
if ! have_pkg wine32:i386 && wants_wine32; then
    need32=wine32:i386
    dpkg --print-foreign-architectures | grep -qx i386 || add_i386=1
fi
[ -z "$need$needopt$need32" ] && exit 0

# What an operator runs as root to do it by hand.
by_hand() {
    printf '%s' "${add_i386:+dpkg --add-architecture i386 && }apt-get update && apt-get install$need${1:+ $1}"
}
if [ "$(id -u)" -eq 0 ]; then
    as_root() { env DEBIAN_FRONTEND=noninteractive "$@"; }
elif command -v sudo >/dev/null 2>&1; then
    as_root() { sudo env DEBIAN_FRONTEND=noninteractive "$@"; }
elif [ -z "$need" ]; then
    extra=$(echo $needopt $need32)
    say "not root and no sudo: the tests go on without $extra (as root: $(by_hand "$extra"))"
    exit 0
else
    say "not root and no sudo: as root, run: $(by_hand "$(echo $needopt $need32)")"
    exit 1
fi

log=$(mktemp "${TMPDIR:-/tmp}/tickward-setup.XXXXXX")
if [ -n "$add_i386" ]; then
    say "adding the i386 architecture (for Wine's 32-bit part)"
    as_root dpkg --add-architecture i386
fi
say "updating the package lists"
if ! as_root apt-get update -qq >>"$log" 2>&1; then
    say "some package lists did not load; trying once more"
    as_root apt-get update -qq >>"$log" 2>&1 || say "going on with the package lists that did load"
fi
if [ -n "$need" ]; then
    say "installing$need (a few minutes on a new machine)"
    if ! as_root apt-get install -y -qq --no-install-recommends $need >>"$log" 2>&1; then
        say "could not install$need (apt-get's words: $log); as root, run: $(by_hand)"
        exit 1
    fi
fi
if [ -n "$needopt" ]; then
    say "installing$needopt"
    if ! as_root apt-get install -y -qq --no-install-recommends $needopt >>"$log" 2>&1; then
        say "could not install$needopt (apt-get's words: $log); the tests that need it are skipped"
        keep_log=1
    fi
fi
if [ -n "$need32" ]; then
    say "installing the 32-bit Wine ($need32)"
    if ! as_root apt-get install -y -qq --no-install-recommends $need32 >>"$log" 2>&1; then
        say "the 32-bit Wine could not be installed (apt-get's words: $log); the tests run the x86_64 build"
        exit 0
    fi
fi
[ -n "${keep_log:-}" ] || rm -f "$log"
