#!/bin/sh
# Runs Tickward on its built-in example and shows what it wrote to the
# debugger output.
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh"
arch=$(run_arch)
build "$arch"
wine_start "$arch"
bin="$TICKWARD_ROOT/build/$arch/bin"

example='"C:\TV App\tvapp.exe";010102;P: _SEL;D: 5;Key: ;File: "C:\Rec\show.ts";FM: 1;TO: 1;SO: 0;EO: 0'
echo "== tickward.exe $example"
"$WINELOADER" "$bin/dbgrun.exe" "$bin/tickward.exe" "$example" || true
