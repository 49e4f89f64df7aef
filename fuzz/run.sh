#!/usr/bin/env bash
# Fuzzes one target: fuzz/run.sh workbook|settings [extra libFuzzer flags]
# New coverage goes into the corpus; crashes land in fuzz/findings/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
target=$1; shift
build=$here/../build/fuzz
CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
mkdir -p "$here/findings" "$build/corpus-$target"
exec "$build/${target}_fuzzer" -rss_limit_mb=2048 -timeout=10 -max_len=262144 \
    -artifact_prefix="$here/findings/${target}-" "$@" "$build/corpus-$target" "$here/corpus/$target"
