#!/usr/bin/env bash
# From nothing to a passing test suite: install, check the formatting and the
# layers, build with warnings as errors, run every test, then again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the saves on the worker
# thread under ThreadSanitizer, and last check that the suite left nothing behind.
set -euo pipefail
cd "$(dirname "$0")/.."
# The weather icons have Japanese names; tools mangle them in the C locale.
export LC_ALL=C.UTF-8
. tools/as_owner.sh
need_writable build build-sanitizers build-tsan build-release dist
bash tools/install_deps.sh test
continue_as_owner "$PWD/tools/test.sh" "$@"
bash tools/format.sh --check
/usr/bin/python3 tools/check_layers.py
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
(cd build && env "${suite_env[@]}" QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j"$(nproc)")

# The sanitized builds. Their findings go to log files, since a test reads
# the output of the programs it starts (the real pravok from the build's
# program folder, sanitized too) and may not show it; any log fails the run.
#   sanitized DIR SANITIZERS TARGET...   configure and build
#   under DIR COMMAND...                 run, then show and fail on any finding
sanitized() {
    local dir=$1 targets=()
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPRAVOK_WERROR=ON -DPRAVOK_SANITIZE="$2" >/dev/null
    for t in "${@:3}"; do targets+=(--target "$t"); done
    cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
    rm -rf "$dir/findings"
    mkdir "$dir/findings"
}
under() {
    local dir=$1 status=0
    shift
    "$@" || status=$?
    if [ -n "$(ls -A "$dir/findings")" ]; then
        tail -n +1 "$dir"/findings/*
        echo "The sanitizers found faults; the logs are in $dir/findings/." >&2
        exit 1
    fi
    [ "$status" -eq 0 ] || exit "$status"
}

# Every tier but the fuzz replay and the archive, which use builds of their
# own, and test_refusals, whose 4 GiB address-space limit AddressSanitizer's
# shadow memory alone exceeds. Qt and fontconfig keep caches to the end, so
# leaks count in the unit tier only, which links no widgets.
asan=$PWD/build-sanitizers
sanitized "$asan" address,undefined all
asan_env=("${suite_env[@]}" QT_QPA_PLATFORM=offscreen
          UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$asan/findings/ubsan")
cd "$asan"
under "$asan" env "${asan_env[@]}" ASAN_OPTIONS="log_path=$asan/findings/asan" \
    ctest --output-on-failure --no-tests=error -L unit
under "$asan" env "${asan_env[@]}" ASAN_OPTIONS="detect_leaks=0:log_path=$asan/findings/asan" \
    ctest --output-on-failure --no-tests=error -j"$(nproc)" -LE unit -E 'system/(fuzz_replay|package_archive|test_refusals)'
cd - >/dev/null

# ThreadSanitizer over the saves on the worker thread: the page saved after a
# pause, killed while typing, and a failing disk (as root). Qt is not built
# with it; tests/tsan.supp says what that hides. The disk faults start mount
# from a process with threads, which ThreadSanitizer refuses unless told.
tsan=$PWD/build-tsan
sanitized "$tsan" thread test_main_window test_faults
tsan_env=("${suite_env[@]}" QT_QPA_PLATFORM=offscreen
          TSAN_OPTIONS="halt_on_error=1:die_after_fork=0:suppressions=$PWD/tests/tsan.supp:log_path=$tsan/findings/tsan")
under "$tsan" env "${tsan_env[@]}" "$tsan/tests/test_main_window" pageOnScreenIsSavedAfterAPause
under "$tsan" env "${tsan_env[@]}" "$tsan/tests/test_faults" \
    killedWhileTypingLosesAtMostTwoSeconds saveFaultKeepsTypedText
/usr/bin/python3 tests/system/leftovers.py "$scratch" "$x_before"
