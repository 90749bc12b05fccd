#!/usr/bin/env bash
# Cross-builds hushmark.exe, hushmark-chapters.exe and hushmark-probe.exe for 64-bit and 32-bit
# Windows and runs the end-to-end comparison with the Linux builds under Wine.
# Meant for a Debian 12 machine, as root; installs what it needs. Both builds
# are always made; the 32-bit one is tested only where Wine's 32-bit loader
# actually runs, which needs a kernel that runs 32-bit programs.
set -euo pipefail
cd "$(dirname "$0")/../.."

export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends \
  cmake g++ make mingw-w64 wine wine64 python3 locales

# Wine's 32-bit half comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt-get -o DPkg::Lock::Timeout=600 update ||
    echo "apt-get update failed (exit $?): going on with the package lists this machine has"
fi
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends wine32:i386 ||
  echo "wine32 could not be installed"

# The comparisons run under these locales.
for pair in ja_JP:ja_JP.UTF-8 de_DE:de_DE.UTF-8; do
  locale -a | grep -qix "${pair#*:}" || locale -a | grep -qix "${pair%%:*}.utf8" ||
    localedef -i "${pair%%:*}" -f UTF-8 "${pair#*:}"
done

# The Linux builds the exes are compared with, without the unit tests.
nice cmake -S . -B build/wine-reference -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
nice cmake --build build/wine-reference -j2 --target hushmark hushmark-chapters \
  hushmark-probe

builds=()
for preset in win64 win32; do
  nice cmake --preset "$preset"
  nice cmake --build --preset "$preset" -j2
done
# The stand-in decoder for the decoded route: one for the Linux builds and one
# beside each Windows build's exes.
nice g++ -std=c++20 -O2 -o build/wine-reference/stand_in_decoder tests/wine/stand_in_decoder.cc
for pair in win64:x86_64 win32:i686; do
  nice "${pair#*:}-w64-mingw32-g++" -std=c++20 -O2 -municode -static \
    -o "build/${pair%%:*}/stand_in_decoder.exe" tests/wine/stand_in_decoder.cc
done

builds+=(build/win64)
# Whether 32-bit programs run here is found by running the loader: on a kernel
# without 32-bit support it is installed but fails with "Exec format error".
# WINE32 names another loader, as for run_wine_e2e.py.
if loader_says=$("${WINE32:-/usr/lib/wine/wine}" --version 2>&1); then
  builds+=(build/win32)
else
  echo "build/win32's hushmark.exe, hushmark-chapters.exe and hushmark-probe.exe left out:" \
    "Wine's 32-bit loader does not run here (${loader_says##*: })"
fi

nice python3 tests/wine/run_wine_e2e.py build/wine-reference "${builds[@]}"
