#!/usr/bin/env bash
# From nothing to a running diary: install, build, start.
set -euo pipefail
cd "$(dirname "$0")/.."
# The weather icons have Japanese names; tools mangle them in the C locale.
export LC_ALL=C.UTF-8
bash tools/install_deps.sh run
bash tools/build.sh pravok
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/program/pravok
fi

# No desktop here: give the window a virtual screen of its own, on a display
# number Xvfb finds free, and take it down again when the diary ends.
log=$(mktemp)
numbers=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$numbers" 2>"$log" &
xvfb=$!
stop_xvfb() {
    kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true
    rm -f "$log" "$numbers"
}
trap stop_xvfb EXIT
trap 'exit 130' INT TERM
number=
for _ in $(seq 100); do
    number=$(head -n1 "$numbers")
    [ -n "$number" ] || ! kill -0 "$xvfb" 2>/dev/null && break
    sleep 0.1
done
if [ -z "$number" ] || ! kill -0 "$xvfb" 2>/dev/null; then
    echo "The virtual display (Xvfb) did not start:" >&2
    cat "$log" >&2
    exit 1
fi
export DISPLAY=":$number"
echo "No display found; the diary runs on the virtual display $DISPLAY (ended with the diary)."
status=0
build/program/pravok || status=$?
if [ "$status" -ne 0 ] && [ -s "$log" ]; then
    echo "The diary ended with status $status; the virtual display said:" >&2
    cat "$log" >&2
fi
exit "$status"
