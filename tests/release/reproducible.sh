#!/bin/sh
# Two builds of the same sources, in different folders and at different
# times, must give the same bytes. Builds the shipped programs and
# twreader.dll (and with them the SDK's libraries) once more, from a copy of the source tree in another
# folder, and compares everything that `cmake --install` puts into an archive
# with what this build tree installs. Only the shipped programs are built:
# the tests and their framework would double the time and ship nowhere.
#
#   reproducible.sh SOURCE_DIR BUILD_DIR PRESET TARGET...
set -e
source=$1 build=$2 preset=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The copy holds the sources only: no build trees, archives or git store.
mkdir "$work/src"
(cd "$source" && tar --exclude=./build --exclude=./dist --exclude=./.git -cf - .) | tar -C "$work/src" -xf -
(cd "$work/src" && cmake --preset "$preset" >/dev/null)
cmake --build "$work/src/build/$preset" --target "$@"

cmake --install "$build" --prefix "$work/first" >/dev/null
cmake --install "$work/src/build/$preset" --prefix "$work/second" >/dev/null
if ! diff -r "$work/first" "$work/second"; then
    echo "reproducible: FAILED: the two builds differ"
    exit 1
fi
echo "reproducible: $(find "$work/first" -type f | wc -l) installed files identical in both builds"
