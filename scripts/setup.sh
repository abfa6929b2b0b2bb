#!/bin/sh
# Installs what building and testing Tickward needs on Debian 12 and does
# nothing when everything is already there. Safe to run again and again.
set -e

need=""
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    add_i386=1
fi
for p in make cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
         wine wine64 wine32:i386 googletest clang libclang-rt-14-dev \
         python3 fakeroot; do
    have_pkg "$p" || need="$need $p"
done

[ -z "$need" ] && [ -z "${add_i386:-}" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -n "${add_i386:-}" ]; then
    echo "setup: adding the i386 architecture (for Wine's 32-bit part)"
    $SUDO dpkg --add-architecture i386
fi
echo "setup: installing$need"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $need >/dev/null
