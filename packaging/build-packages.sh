#!/usr/bin/env bash
# Builds the release packages into build/packages/: the Debian package from
# the release build and a zip from each Windows build.
# Needs cmake, g++ and mingw-w64, and dpkg-dev and file for the .deb's Depends.
set -euo pipefail
cd "$(dirname "$0")/.."

out=$PWD/build/packages
rm -rf "$out"
for preset in release win64 win32; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  cpack --config "build/$preset/CPackConfig.cmake" -B "$out"
done
# CPack stages each package here; only the packages themselves are wanted.
rm -rf "$out/_CPack_Packages"
ls -l "$out"
