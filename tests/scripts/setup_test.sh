#!/bin/sh
# scripts/setup.sh decides what to install from what it finds: the packages
# already there, the architectures, who runs it, whether this machine runs
# 32-bit programs and whether the package lists load. Each case runs it with
# stand-ins for dpkg, dpkg-query, apt-get, id, sudo and the 32-bit probe on
# an otherwise bare PATH; they install nothing and log every call.
#
#   setup_test.sh SOURCE_DIR
set -u
setup="$1/scripts/setup.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The few real tools setup.sh itself uses; sudo is a stand-in or absent.
mkdir "$work/tools"
for tool in grep mktemp chmod rm env; do
    ln -s "$(command -v $tool)" "$work/tools/$tool"
done
standin() {
    printf '#!/bin/sh\necho "%s $*" >> "$STUB_LOG"\n%s\n' "$1" "$2" > "$work/tools/$1"
    chmod +x "$work/tools/$1"
}
standin dpkg-query 'for p in $STUB_INSTALLED; do [ "$p" = "$3" ] && { printf "install ok installed"; exit 0; }; done; exit 1'
standin dpkg '[ "$1" = --print-foreign-architectures ] && printf "%s" "$STUB_ARCHS"; exit 0'
standin apt-get 'if [ "$1" = update ]; then echo x >> "$STUB_LOG.updates"; [ $(grep -c x "$STUB_LOG.updates") -gt $STUB_UPDATE_FAILS ]; exit; fi
case "$*" in *"$STUB_INSTALL_FAILS"*) exit 100 ;; esac'
standin id 'echo $STUB_UID'
standin probe32 'exit $STUB_PROBE'
standin sudo 'exec "$@"'
mv "$work/tools/sudo" "$work/sudo"

# Everything setup.sh wants for `make test`, and a machine that has it all.
base="make cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 googletest clang libclang-rt-14-dev"
optional="fp-compiler-3.2.2 fp-utils-3.2.2 fpc-source-3.2.2 wixl msitools"

# run NAME TARGET: runs setup.sh for TARGET with the STUB_* settings given
# before it; its exit code, output and the stand-ins' log are then checked.
run() {
    name=$1
    export STUB_LOG="$work/$name.log"
    : > "$STUB_LOG"
    : > "$STUB_LOG.updates"
    PATH="$work/tools" TICKWARD_PROBE32="$work/tools/probe32" TMPDIR="$work" \
        /bin/sh "$setup" "$2" > "$work/$name.out" 2>&1
    status=$?
}
fail() {
    echo "setup_test: $name: $*"
    sed 's/^/    output: /' "$work/$name.out"
    sed 's/^/    called: /' "$STUB_LOG"
    failures=$((failures + 1))
}
expect_status() { [ "$status" = "$1" ] || fail "exit $status, expected $1"; }
expect_call() { grep -qx -- "$1" "$STUB_LOG" || fail "no call '$1'"; }
refuse_call() { ! grep -q -- "$1" "$STUB_LOG" || fail "a call matching '$1'"; }
expect_calls() { [ "$(grep -c -- "$1" "$STUB_LOG")" = "$2" ] || fail "not $2 calls matching '$1'"; }
expect_output_lines() { [ "$(wc -l < "$work/$name.out")" = "$1" ] || fail "not $1 lines of output"; }
expect_output() { grep -q -- "$1" "$work/$name.out" || fail "no output matching '$1'"; }

export STUB_UID=0 STUB_PROBE=0 STUB_ARCHS="" STUB_INSTALLED="" STUB_UPDATE_FAILS=0 STUB_INSTALL_FAILS=nothing

# No 32-bit execution: the architectures stay as they are, no 32-bit Wine.
STUB_PROBE=1 run no-32-bit test
expect_status 0
expect_call "apt-get install -y -qq --no-install-recommends $base"
refuse_call "add-architecture"
refuse_call "install.*wine32"

# 32-bit execution: the architecture is added and the 32-bit Wine installed,
# after the rest; where only it fails, setup says so in one line and goes on.
STUB_INSTALL_FAILS=wine32 run only-wine32-fails test
expect_status 0
expect_call "dpkg --add-architecture i386"
expect_call "apt-get install -y -qq --no-install-recommends $base"
expect_call "apt-get install -y -qq --no-install-recommends wine32:i386"
expect_output "the 32-bit Wine could not be installed"

# Free Pascal and wixl come after the rest; a test skips without them, so
# their failed install stops nothing either.
STUB_PROBE=1 STUB_INSTALL_FAILS=fp-compiler run only-optional-fails test
expect_status 0
expect_call "apt-get install -y -qq --no-install-recommends $base"
expect_call "apt-get install -y -qq --no-install-recommends $optional"
expect_output "could not install $optional (apt-get's words: .*); the tests that need it are skipped"

# Package lists that never load: tried twice, then installed from what loaded.
STUB_PROBE=1 STUB_UPDATE_FAILS=9 run failing-update test
expect_status 0
expect_calls "apt-get update" 2
expect_call "apt-get install -y -qq --no-install-recommends $base"

# A failed install stops setup with one line naming the packages.
STUB_PROBE=1 STUB_INSTALL_FAILS=cmake run failed-install build
expect_status 1
expect_output "could not install make cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 (apt"

# Neither root nor sudo: one line, with the command to run as root.
STUB_UID=1000 STUB_PROBE=1 STUB_INSTALLED="make cmake" run no-root-no-sudo demo
expect_status 1
expect_output_lines 1
expect_output "as root, run: apt-get update && apt-get install ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64$"
refuse_call "apt-get"

# Through sudo the install stays non-interactive.
mv "$work/sudo" "$work/tools/sudo"
STUB_UID=1000 STUB_PROBE=1 run through-sudo build
expect_status 0
expect_call "sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq"
rm "$work/tools/sudo"

# A build needs neither Wine nor clang; a machine set up already gets no call.
STUB_INSTALLED="make cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64" run build-only build
expect_status 0
refuse_call "apt-get"
STUB_INSTALLED="$base $optional wine32:i386" STUB_ARCHS=i386 run set-up-already test
expect_status 0
expect_output_lines 0
refuse_call "apt-get"
refuse_call "add-architecture"

if [ "$failures" -ne 0 ]; then
    echo "setup_test: $failures checks FAILED"
    exit 1
fi
echo "setup_test: every case as expected"
