#!/usr/bin/env bash
# From nothing to a passing test suite: install, check the formatting, build
# with warnings as errors, run every test, then the unit tier again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
# The weather icons have Japanese names; tools mangle them in the C locale.
export LC_ALL=C.UTF-8
bash tools/install_deps.sh test
bash tools/format.sh --check
PRAVOK_WERROR=ON bash tools/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-sanitizers -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPRAVOK_WERROR=ON \
    -DCMAKE_CXX_FLAGS="$sanitizers" -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" >/dev/null
cmake --build build-sanitizers -j"$(nproc)" --target test_workbook test_diary_model
(cd build-sanitizers && ctest --output-on-failure -L unit)
