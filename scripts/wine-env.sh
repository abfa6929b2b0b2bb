# Sourced by the project's scripts: picks the build that this machine can run
# under Wine and the helpers that start and end the build tree's own prefix.
#
# Tickward's release target is 32-bit. Wine runs 32-bit programs only where
# the kernel runs 32-bit Linux programs (Wine's 32-bit loader is one); where it
# cannot, the 64-bit build, compiled from the same sources, is run instead.

# The tree is the one the calling script lies in; sourced by hand from a
# shell, it is the current directory (or TICKWARD_ROOT when set).
TICKWARD_ROOT=${TICKWARD_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
[ -f "$TICKWARD_ROOT/scripts/wine-env.sh" ] || TICKWARD_ROOT=$(pwd)

run_arch() {
    if [ -n "${TICKWARD_ARCH:-}" ]; then
        echo "$TICKWARD_ARCH"
    elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo i686
    else
        echo x86_64
    fi
}

wine_loader() {
    case "$1" in
        i686) echo /usr/lib/wine/wine ;;
        *) echo /usr/lib/wine/wine64 ;;
    esac
}

# wine_start ARCH: sets WINEPREFIX and friends, makes the prefix on first use
# and keeps one Wine server running for the whole run.
wine_start() {
    export WINEPREFIX="$TICKWARD_ROOT/build/$1/wineprefix"
    export WINELOADER=$(wine_loader "$1")
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export DISPLAY=
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine: making the prefix $WINEPREFIX"
        "$WINELOADER" wineboot --init >/dev/null 2>&1 || true
        /usr/lib/wine/wineserver -w
    fi
    # One server for the whole run saves a server start per program; it may
    # be running already from an earlier program of this prefix.
    /usr/lib/wine/wineserver -p 2>/dev/null || true
    # The first program of a session starts Wine's background services; they
    # would inherit (and hold open) the output pipe of whatever runs first,
    # so start them here, away from any test runner's pipes.
    "$WINELOADER" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
    trap wine_stop EXIT INT TERM
}

wine_stop() {
    [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
}

# build PRESET...: configures once and builds each given preset.
build() {
    for preset in "$@"; do
        if [ ! -f "$TICKWARD_ROOT/build/$preset/build.ninja" ]; then
            (cd "$TICKWARD_ROOT" && cmake --preset "$preset" >/dev/null)
        fi
        cmake --build "$TICKWARD_ROOT/build/$preset"
    done
}
