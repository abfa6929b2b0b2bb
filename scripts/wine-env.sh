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

# wine_env ARCH: names the build tree's Wine for the programs that follow
# (CTest's tests name it themselves) and ends its server when the script ends.
wine_env() {
    export WINEPREFIX="$TICKWARD_ROOT/build/$1/wineprefix"
    export WINELOADER=$(wine_loader "$1")
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export DISPLAY=
    on_exit wine_stop
}

# wine_start ARCH: wine_env, and makes the prefix on first use and keeps one
# Wine server running for the whole run, as CTest's fixture does for tests.
wine_start() {
    wine_env "$1"
    sh "$TICKWARD_ROOT/cmake/wine-prefix.sh" start
}

wine_stop() {
    [ -z "${WINEPREFIX:-}" ] || sh "$TICKWARD_ROOT/cmake/wine-prefix.sh" stop
}

# on_exit COMMANDS: runs COMMANDS when the script ends. An interrupted script
# runs them and then ends at once with the status of a program ended by that
# signal (130 for INT, 143 for TERM), instead of going on with its next
# command. A shell runs a trap only once its foreground command has ended,
# so long commands run through run_long.
on_exit() {
    trap "$1" EXIT
    trap "trap - EXIT; end_long; $1; exit 130" INT
    trap "trap - EXIT; end_long; $1; exit 143" TERM
}

# run_long COMMAND...: runs COMMAND in the background and waits for it, so
# that an interruption of the script ends it at once too, with every process
# it started (its own process group: a test runner leaves its tests behind).
run_long() {
    setsid -w "$@" &
    long_pid=$!
    long_status=0
    wait "$long_pid" || long_status=$?
    long_pid=
    return "$long_status"
}

end_long() {
    [ -z "${long_pid:-}" ] || kill -TERM "-$long_pid" 2>/dev/null || true
}

# build PRESET...: configures once and builds each given preset.
build() {
    for preset in "$@"; do
        if [ ! -f "$TICKWARD_ROOT/build/$preset/build.ninja" ]; then
            (cd "$TICKWARD_ROOT" && cmake --preset "$preset" >/dev/null)
        fi
        run_long cmake --build "$TICKWARD_ROOT/build/$preset"
    done
}

# Every script that sources this file ends at once when interrupted, also
# before it starts Wine.
on_exit :
