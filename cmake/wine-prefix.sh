#!/bin/sh
# Starts and ends the Wine of one build tree, whose WINEPREFIX and WINELOADER
# name it. CTest runs it as the fixture around every test; the project's
# scripts run it around their own Wine programs.
#
#   wine-prefix.sh start   makes the prefix on first use, starts one server
#                          that lasts until it is ended, and Wine's background
#                          services
#   wine-prefix.sh stop    ends the server and with it every program of the
#                          prefix
set -e
: "${WINEPREFIX:?names the prefix}" "${WINELOADER:?names Wine's loader}"
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
server=$(dirname "$WINELOADER")/wineserver

case "$1" in
start)
    # A build tree whose Wine this machine cannot run (the i686 tree without
    # 32-bit Wine) fails here, at once and plainly, not test by test.
    if ! "$WINELOADER" --version >/dev/null 2>&1; then
        echo "wine: this machine cannot run $WINELOADER (32-bit Wine needs a kernel that runs 32-bit programs and wine32:i386); test the x86_64 build: ctest --preset x86_64"
        exit 1
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine: making the prefix $WINEPREFIX"
        "$WINELOADER" wineboot --init </dev/null >/dev/null 2>&1 || true
        "$server" -w
    fi
    # One server for the whole run saves a server start per program; it may
    # be running already from an earlier program of this prefix. It and the
    # background services, which the first program of a session starts,
    # would hold open the output pipe of whatever starts them, and a test
    # runner waits for its pipes to close: they start here, on /dev/null.
    "$server" -p </dev/null >/dev/null 2>&1 || true
    "$WINELOADER" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
    ;;
stop)
    "$server" -k </dev/null >/dev/null 2>&1 || true
    # Ended programs may take a moment to go; the next start waits for none.
    "$server" -w </dev/null >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: wine-prefix.sh start|stop" >&2
    exit 2
    ;;
esac
