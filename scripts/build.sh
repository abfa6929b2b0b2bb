#!/bin/sh
# Builds the given presets (default: both architectures).
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh" build
if [ $# -eq 0 ]; then set -- i686 x86_64; fi
build "$@"
