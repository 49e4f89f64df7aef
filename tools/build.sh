#!/usr/bin/env bash
# Configures and builds into build/; the program folder is build/program.
#   tools/build.sh            everything, tests included
#   tools/build.sh pravok     the program alone
set -euo pipefail
cd "$(dirname "$0")/.."
# The weather icons have Japanese names; tools mangle them in the C locale.
export LC_ALL=C.UTF-8
# PRAVOK_WERROR=ON (tools/test.sh, CI) turns compiler warnings into errors;
# without it the build keeps the setting it has, so that switching between
# tools/test.sh and tools/run.sh rebuilds nothing.
options=()
[ -n "${PRAVOK_WERROR:-}" ] && options+=(-DPRAVOK_WERROR="$PRAVOK_WERROR")
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
