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
    trap wine_stop EXIT INT TERM
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

# build PRESET...: configures once and builds each given preset.
build() {
    for preset in "$@"; do
        if [ ! -f "$TICKWARD_ROOT/build/$preset/build.ninja" ]; then
            (cd "$TICKWARD_ROOT" && cmake --preset "$preset" >/dev/null)
        fi
        cmake --build "$TICKWARD_ROOT/build/$preset"
    done
}
