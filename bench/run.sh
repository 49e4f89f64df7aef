#!/usr/bin/env bash
# The whole benchmark suite: builds Release into build-bench/, makes the
# workbooks, starts a private X server, runs everything and prints one table.
#   bash bench/run.sh            (options are passed to bench/harness.py)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
build=$src/build-bench

bash tools/install_deps.sh test >&2
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_all >&2

# The workbooks are made again only when their generator changed.
data=$build/bench-data
stamp=$(sha256sum bench/make_workbooks.py | cut -c1-16)
if [ "$(cat "$data/.stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "[bench] writing the workbooks" >&2
    /usr/bin/python3 bench/make_workbooks.py "$data"
    echo "$stamp" >"$data/.stamp"
fi

# A display of our own, first free number from 90.
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

/usr/bin/python3 bench/harness.py --src "$src" --build "$build" --data "$data" --display ":$n" "$@"
