#!/usr/bin/env bash
# Fuzzes one target: fuzz/run.sh workbook|settings [extra libFuzzer flags]
# One process (the machine has two cores and other work); stop it with a
# -max_total_time in the extra flags. New coverage goes into
# build/fuzz/corpus-<target>; findings land in fuzz/findings/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
target=$1; shift
build=$here/../build/fuzz
CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
mkdir -p "$here/findings" "$build/corpus-$target"
flags=(-rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$here/findings/${target}-")
case $target in
    # No input of max_len may make the engine ask for more than this at once.
    workbook) flags+=(-max_len=32768 -malloc_limit_mb=256) ;;
    settings) flags+=(-max_len=4096) ;;
esac
[ -f "$here/$target.dict" ] && flags+=(-dict="$here/$target.dict")
exec "$build/${target}_fuzzer" "${flags[@]}" "$@" "$build/corpus-$target" "$here/corpus/$target"
