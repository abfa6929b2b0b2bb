#!/bin/sh
# The SDK as a receiving application uses it, outside the source tree:
# installs this build tree's SDK into a fresh folder, builds the example
# receiving application there against find_package(Tickward), with UNICODE
# and _UNICODE defined as in many applications, and runs the receiver's
# end-to-end tests against that program: the real tickward.exe delivers jobs
# to it through the mailbox and on its command line.
#
#   consumer.sh SOURCE_DIR BUILD_DIR TOOLCHAIN_FILE
# WINEPREFIX and WINELOADER name the build tree's Wine.
set -e
source=$1 build=$2 toolchain=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --component sdk --prefix "$work/install" >/dev/null
mkdir -p "$work/app/receiver"
cp "$source/tests/release/consumer/CMakeLists.txt" "$work/app/"
cp "$source"/receiver/*.h "$source"/receiver/*.cpp "$work/app/receiver/"
cmake -S "$work/app" -B "$work/app/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_PREFIX_PATH="$work/install/sdk" \
    -DCMAKE_CXX_FLAGS="-DUNICODE -D_UNICODE" >/dev/null
cmake --build "$work/app/build"

# The receiver tests run the program that TICKWARD_RECEIVER names.
TICKWARD_RECEIVER=$("$WINELOADER" winepath -w "$work/app/build/receiver.exe" 2>/dev/null)
export TICKWARD_RECEIVER
printf 'consumer: testing %s\n' "$TICKWARD_RECEIVER"
cd "$build/bin"
"$WINELOADER" ./receiver_test.exe </dev/null
