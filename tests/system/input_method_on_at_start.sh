#!/usr/bin/env bash
# The input method is on in the plan box before the first keystroke: the real
# fcitx5 with anthy on a private session bus and X server, the program started
# as a pupil starts it. Run under dbus-run-session; $1 is the program folder.
set -euo pipefail
command -v fcitx5 >/dev/null || { echo "fcitx5 is not installed"; exit 77; }
work=$(mktemp -d)
pids=()
# Stop exactly what was started, the last first: the diary closes while its X
# server still runs (a bare `wait` would also wait for the X server behind
# the process substitution, which never ends by itself).
# Anthy keeps its files in the home of the passwd entry, whatever HOME says: a
# ~/.anthy this test made goes with it.
anthy=$(getent passwd "$(id -u)" | cut -d: -f6)/.anthy
[ ! -e "$anthy" ] || anthy=
trap 'set +e; for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; wait "${pids[i]}" 2>/dev/null; done; rm -rf "$work" ${anthy:+"$anthy"} || true' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run LC_ALL=C.UTF-8
mkdir -p "$XDG_CONFIG_HOME/fcitx5" "$XDG_RUNTIME_DIR" "$work/program" && chmod 700 "$XDG_RUNTIME_DIR"
printf '%s\n' '[Groups/0]' 'Name=Default' 'Default Layout=us' 'DefaultIM=anthy' \
    '[Groups/0/Items/0]' 'Name=keyboard-us' '[Groups/0/Items/1]' 'Name=anthy' \
    '[GroupOrder]' '0=Default' > "$XDG_CONFIG_HOME/fcitx5/profile"

exec 3< <(exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -noreset -nolisten tcp 2>"$work/xvfb.log")
pids+=($!)
read -r -t 20 display <&3 || { cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$display
fcitx5 --disable=wayland,waylandim,kimpanel,notificationitem,clipboard >"$work/fcitx5.log" 2>&1 &
pids+=($!)
owner() { dbus-send --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner string:org.fcitx.Fcitx5; }
for _ in $(seq 100); do owner 2>/dev/null | grep -q true && break; sleep 0.1; done

cp -r "$1"/. "$work/program/"
(cd "$work/program" && exec env QT_QPA_PLATFORM=xcb QT_IM_MODULE=fcitx XMODIFIERS=@im=fcitx ./pravok >"$work/program.log" 2>&1) &
pids+=($!)
window=
for _ in $(seq 600); do
    window=$(xdotool search --name 'Merrow日記' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the main window never appeared"; cat "$work/program.log"; xwininfo -root -tree | grep -i '"' | head; pgrep -a pravok; exit 1; }
# What a window manager does for the window left after the splash: give it the keyboard.
for _ in $(seq 100); do
    [ "$(xdotool search --onlyvisible --class pravok 2>/dev/null | wc -l)" = 1 ] && break
    sleep 0.1
done
for _ in $(seq 100); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ] || xdotool windowfocus --sync "$window"
    [ "$(fcitx5-remote)" = 2 ] && { echo "input method on before the first keystroke"; exit 0; }
    sleep 0.1
done
echo "fcitx5-remote still reports $(fcitx5-remote) ten seconds after the window took the focus"
dbus-send --print-reply --dest=org.fcitx.Fcitx5 /controller org.fcitx.Fcitx.Controller1.DebugInfo | grep -i "IC \[" | cut -c1-200
exit 1
