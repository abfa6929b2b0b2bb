#!/bin/sh
# The SDK as a receiving application uses it, outside the source tree:
# installs this build tree's SDK into a fresh folder, builds the example
# receiving application there against find_package(Tickward), with UNICODE
# and _UNICODE defined as in many applications, and runs the receiver's
# end-to-end tests against that program: the real tickward.exe delivers jobs
# to it through the mailbox and on its command line. Before that it checks
# that nothing of Tickward's own program came with the SDK: no run journal
# in it, and an application's new still throws std::bad_alloc (sdkcheck).
# Then the C interface: twconsumer, in plain C on twreader.dll, is run
# through its jobs by twreader_test (TwConsumer); frameworkapp, with its own
# CString and CWinApp, only has to link.
#
#   consumer.sh SOURCE_DIR BUILD_DIR TOOLCHAIN_FILE
# WINEPREFIX and WINELOADER name the build tree's Wine.
set -e
source=$1 build=$2 toolchain=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --component sdk --prefix "$work/install" >/dev/null
# The search must see the symbols in the libraries: the reader's are there.
if ! grep -rqa CCmdLineProcess "$work/install/sdk/lib"; then
    echo "consumer: no CCmdLineProcess symbol found in the SDK's libraries" >&2
    exit 1
fi
if grep -rla CRunJournal "$work/install/sdk"; then
    echo "consumer: the run journal came with the SDK (files above)" >&2
    exit 1
fi
mkdir -p "$work/app/receiver"
cp "$source"/tests/release/consumer/*.* "$work/app/"
cp "$source"/receiver/*.h "$source"/receiver/*.cpp "$work/app/receiver/"
cmake -S "$work/app" -B "$work/app/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_PREFIX_PATH="$work/install/sdk" \
    -DCMAKE_CXX_FLAGS="-DUNICODE -D_UNICODE" -DCMAKE_C_FLAGS="-DUNICODE -D_UNICODE" >/dev/null
cmake --build "$work/app/build"
"$WINELOADER" "$work/app/build/sdkcheck.exe" </dev/null

# An application ships the DLL beside it. The scenario runs on the Windows
# side (tests/twreader), which gives tickward.exe its command line exactly.
cp "$work/install/sdk/bin/twreader.dll" "$work/app/build/"
TICKWARD_TWCONSUMER=$("$WINELOADER" winepath -w "$work/app/build/twconsumer.exe" 2>/dev/null)
export TICKWARD_TWCONSUMER
(cd "$build/bin" && "$WINELOADER" ./twreader_test.exe --gtest_filter='TwConsumer.*' </dev/null)

# The receiver tests run the program that TICKWARD_RECEIVER names.
TICKWARD_RECEIVER=$("$WINELOADER" winepath -w "$work/app/build/receiver.exe" 2>/dev/null)
export TICKWARD_RECEIVER
printf 'consumer: testing %s\n' "$TICKWARD_RECEIVER"
cd "$build/bin"
"$WINELOADER" ./receiver_test.exe </dev/null
