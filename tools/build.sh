#!/usr/bin/env bash
# Configures and builds into build/; the program folder is build/program.
#   tools/build.sh            everything, tests included
#   tools/build.sh pravok     the program alone
set -euo pipefail
cd "$(dirname "$0")/.."
# The weather icons have Japanese names; tools mangle them in the C locale.
export LC_ALL=C.UTF-8
. tools/as_owner.sh
need_writable build
# Warnings are errors in every build of these scripts (PRAVOK_WERROR=OFF
# turns that off), so that tools/run.sh and tools/test.sh share one build and
# switching between them rebuilds nothing.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPRAVOK_WERROR="${PRAVOK_WERROR:-ON}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
