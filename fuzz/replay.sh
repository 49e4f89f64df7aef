#!/usr/bin/env bash
# Builds the fuzz targets with clang and the sanitizers, then runs every seed
# and every past finding through them once. Exits non-zero on any report.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/fuzz}
if ! command -v clang++ >/dev/null; then
    echo "clang++ is not installed; run tools/install_deps.sh test" >&2
    exit 1
fi
CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Every workbook input is written back too, not one in eight as when fuzzing.
export WORKBOOK_FUZZER_WRITE_ALL=1
for target in workbook settings; do
    inputs=()
    for dir in "$here/corpus/$target" "$here/regressions/$target"; do
        [ -n "$(ls -A "$dir" 2>/dev/null)" ] && inputs+=("$dir")
    done
    [ ${#inputs[@]} -eq 0 ] && continue
    count=$(find "${inputs[@]}" -type f | wc -l)
    "$build/${target}_fuzzer" -runs=0 -rss_limit_mb=2048 -malloc_limit_mb=256 -timeout=20 "${inputs[@]}" 2>"$build/${target}_replay.log" || {
        tail -40 "$build/${target}_replay.log" >&2
        exit 1
    }
    echo "${target}: ${count} inputs replayed under ASan and UBSan, no finding"
done
