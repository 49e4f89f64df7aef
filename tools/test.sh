#!/usr/bin/env bash
# From nothing to a passing test suite: install, check the formatting, build
# with warnings as errors, run every test, then the unit tier again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and last check that the
# suite left nothing behind.
set -euo pipefail
cd "$(dirname "$0")/.."
# The weather icons have Japanese names; tools mangle them in the C locale.
export LC_ALL=C.UTF-8
. tools/as_owner.sh
need_writable build build-sanitizers build-release dist
bash tools/install_deps.sh test
continue_as_owner "$PWD/tools/test.sh" "$@"
bash tools/format.sh --check
bash tools/build.sh

# The suite gets a home, a temporary folder and a runtime folder of its own,
# and marks every process it starts; tests/system/leftovers.py then finds
# what outlived it. Whatever did is ended here.
scratch=$(mktemp -d)
export PRAVOK_SUITE=$scratch
mkdir -m 700 "$scratch/home" "$scratch/tmp" "$scratch/run"
x_before=$(ls -A /tmp/.X11-unix 2>/dev/null || true)
end_suite() {
    /usr/bin/python3 tests/system/leftovers.py --kill "$scratch" "$x_before" >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap end_suite EXIT
suite_env=(HOME="$scratch/home" TMPDIR="$scratch/tmp" XDG_RUNTIME_DIR="$scratch/run")
(cd build && env "${suite_env[@]}" QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-sanitizers -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPRAVOK_WERROR=ON \
    -DCMAKE_CXX_FLAGS="$sanitizers" -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" >/dev/null
cmake --build build-sanitizers -j"$(nproc)" --target test_workbook test_diary_model
(cd build-sanitizers && env "${suite_env[@]}" ctest --output-on-failure -L unit)
/usr/bin/python3 tests/system/leftovers.py "$scratch" "$x_before"
