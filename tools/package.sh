#!/usr/bin/env bash
# From nothing to the archive a pupil unpacks: install the build tools, make a
# release build and pack the program folder into dist/merrow-nikki-<version>-Linux.tar.gz.
set -euo pipefail
cd "$(dirname "$0")/.."
# The weather icons have Japanese names; tools mangle them in the C locale.
export LC_ALL=C.UTF-8
bash tools/install_deps.sh run
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
mkdir -p dist
(cd build-release && cpack -B "$PWD/../dist" >/dev/null)
rm -rf dist/_CPack_Packages
ls -1 "$PWD"/dist/merrow-nikki-*-Linux.tar.gz
