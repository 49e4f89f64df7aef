#!/usr/bin/env bash
# From nothing to a running diary: install, build, start. The diary lives in
# build/program/ (nikki.xls beside pravok).
set -euo pipefail
cd "$(dirname "$0")/.."
# The weather icons have Japanese names; tools mangle them in the C locale.
export LC_ALL=C.UTF-8
. tools/as_owner.sh
need_writable build
headless=
[ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || headless=headless
bash tools/install_deps.sh run $headless
continue_as_owner "$PWD/tools/run.sh" "$@"
bash tools/build.sh pravok
echo "The diary is build/program/pravok; its diary is build/program/nikki.xls (rm -rf build deletes it)."
[ -n "$headless" ] || exec build/program/pravok

# No desktop here: give the window a virtual screen of its own, on a display
# number Xvfb finds free. Both run in sessions of their own, so that Ctrl+C
# reaches only this script, which closes the diary first (saving it) and then
# the screen.
log=$(mktemp)
numbers=$(mktemp)
setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$numbers" 2>"$log" &
xvfb=$!
app=
stop() {
    if [ -n "$app" ]; then kill -TERM "$app" 2>/dev/null && wait "$app" 2>/dev/null || true; fi
    kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true
    rm -f "$log" "$numbers"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
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
setsid build/program/pravok &
app=$!
echo "No display found: the diary runs on the virtual display $DISPLAY, which nobody sees."
echo "Press Enter for a picture of it in build/screen.png; Ctrl+C closes the diary (saving it)."
# The first picture once the page is drawn: an undrawn window is one flat colour.
picture() { import -display "$DISPLAY" -window root build/screen.png 2>/dev/null; }
for _ in $(seq 100); do
    window=$(xwininfo -root -tree 2>/dev/null | grep -m1 -o '^ *0x[0-9a-f]* "Merrow日記Lt\."' | awk '{print $1}') || true
    [ -n "$window" ] && [ "$(import -window "$window" png:- 2>/dev/null | identify -format %k - 2>/dev/null || echo 0)" -ge 16 ] && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.2
done
picture && echo "Picture of the diary: build/screen.png"
# Enter takes another picture; the end of the input leaves the diary running.
while kill -0 "$app" 2>/dev/null; do
    got=0
    read -r -t 1 _ 2>/dev/null || got=$?
    if [ "$got" -eq 0 ]; then
        picture && echo "Picture of the diary: build/screen.png"
    elif [ "$got" -le 128 ]; then
        break
    fi
done
status=0
wait "$app" || status=$?
app=
if [ "$status" -ne 0 ] && [ -s "$log" ]; then
    echo "The diary ended with status $status; the virtual display said:" >&2
    cat "$log" >&2
fi
exit "$status"
