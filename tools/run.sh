#!/usr/bin/env bash
# From nothing to a running diary: install, build, start.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_deps.sh run
bash tools/build.sh pravok
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # No desktop here: give the window a virtual screen of its own.
    Xvfb :77 -screen 0 1280x1024x24 -noreset >/dev/null 2>&1 &
    export DISPLAY=:77
    sleep 1
    echo "No display found; the diary runs on the virtual display :77."
fi
exec build/program/pravok
