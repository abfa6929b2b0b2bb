#!/bin/sh
# Builds both architectures and packs each with CPack (cmake/Release.cmake)
# into a versioned archive under dist/: Tickward-<version>-win32.zip (the
# 32-bit release build) and -win64.zip, and into a Windows Installer package
# of the same files (cmake/Msi.cmake): Tickward-<version>-win32.msi and
# -win64.msi, with SHA256SUMS beside them. The same
# commit gives the same bytes: the programs carry no time stamps or build
# folders, the archive entries come in sorted order with the last commit's
# time and, through fakeroot, the same owner (root) whoever packs them.
set -e
. "$(dirname "$0")/wine-env.sh"
"$TICKWARD_ROOT/scripts/setup.sh" dist
build i686 x86_64
dist="$TICKWARD_ROOT/dist"
rm -rf "$dist"
mkdir -p "$dist"
for preset in i686 x86_64; do
    out="$TICKWARD_ROOT/build/$preset/package"
    rm -rf "$out"
    fakeroot cpack --config "$TICKWARD_ROOT/build/$preset/CPackConfig.cmake" -B "$out" >/dev/null
    cp "$out"/*.zip "$dist/"
    zip=$(basename "$out"/*.zip .zip)
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$TICKWARD_ROOT/build/$preset/CMakeCache.txt")
    arch=x64
    [ "$preset" = x86_64 ] || arch=x86
    cmake --install "$TICKWARD_ROOT/build/$preset" --prefix "$out/stage" >/dev/null
    cmake -DSTAGE="$out/stage" -DARCH=$arch -DVERSION="$version" -DOUTPUT="$dist/$zip.msi" \
        -P "$TICKWARD_ROOT/cmake/Msi.cmake" >/dev/null
done
cd "$dist"
sha256sum *.zip *.msi > SHA256SUMS
echo "dist: $dist"
cat SHA256SUMS
