#!/usr/bin/env bash
# Release check of the archive on a machine that has nothing but Debian 12 and
# the README's one runtime line: a minimal Debian 12 is made in a chroot, a
# user there unpacks the archive into a folder with spaces and Japanese in its
# name and starts the diary on a virtual display of this machine.
#   bash tools/check_fresh_debian.sh [archive]
# Needs root and the Debian mirror; takes a minute or two. The archive defaults
# to the one tools/package.sh made; the screenshot goes to dist/fresh-debian.png.
set -euo pipefail
cd "$(dirname "$0")/.."
archive=$(realpath "${1:-$(ls dist/merrow-nikki-*-Linux.tar.gz | tail -n 1)}")
line=$(grep -m 1 -E '^ *sudo apt-get install ' README.md)
packages=${line#*sudo apt-get install }
echo "archive:  $archive"
echo "packages: $packages"

export DEBIAN_FRONTEND=noninteractive
for tool in debootstrap Xvfb xwininfo import; do
    command -v "$tool" >/dev/null || apt-get install -y -qq debootstrap xvfb x11-utils imagemagick >/dev/null
done

# The Debian 12 mirror this machine's apt uses, from one-line or deb822 sources.
mirror=$({ sed -e 's/#.*//' -e 's/\[[^]]*\]//' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
           awk '$1 == "deb" && $3 == "bookworm" { print $2 }'
         grep -hv '^#' /etc/apt/sources.list.d/*.sources 2>/dev/null |
           awk -v RS= '/Types:[^\n]*deb/ && /Suites:[^\n]*bookworm( |\n|$)/ && match($0, /URIs:[ \t]*[^ \t\n]+/) {
               u = substr($0, RSTART, RLENGTH); sub(/URIs:[ \t]*/, "", u); print u }'
       } | head -n 1)
[ -n "$mirror" ] || { echo "FAILED: no Debian 12 (bookworm) source in /etc/apt/sources.list*" >&2; exit 1; }
echo "mirror:   $mirror"

root=$(mktemp -d /var/tmp/fresh-debian.XXXXXX)
chmod 755 "$root"   # it becomes /, which the user must be able to enter
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    for m in tmp/.X11-unix dev proc; do umount "$root/$m" 2>/dev/null || true; done
    rm -rf --one-file-system "$root" "$root.display" "$root.apt.log"
}
trap cleanup EXIT

debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
mount --bind /proc "$root/proc"
mount --bind /dev "$root/dev"
chroot "$root" apt-get update -qq 2>/dev/null
# Without recommended packages: stricter than what the README's line installs.
# shellcheck disable=SC2086
if ! chroot "$root" apt-get install -y -qq --no-install-recommends $packages >"$root.apt.log" 2>&1; then
    cat "$root.apt.log" >&2
    echo "FAILED: the runtime line did not install" >&2
    exit 1
fi

# Xvfb picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$root.display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$root.display" ] && break; sleep 0.1; done
[ -s "$root.display" ] || { echo "FAILED: the virtual display (Xvfb) did not start" >&2; exit 1; }
display=":$(cat "$root.display")"
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"

cp "$archive" "$root/tmp/"
chroot "$root" useradd -m pupil
folder='/home/pupil/ぼくの 日記'
chroot "$root" runuser -u pupil -- sh -c "mkdir '$folder' && cd '$folder' && tar xzf /tmp/$(basename "$archive")"
chroot "$root" runuser -u pupil -- env -i HOME=/home/pupil PATH=/usr/bin:/bin DISPLAY="$display" \
    "$folder/merrow-nikki/pravok" >"$root/tmp/pravok.log" 2>&1 &

for _ in $(seq 100); do
    [ -f "$root$folder/merrow-nikki/nikki.xls" ] && break
    sleep 0.2
done
sleep 1
pid=$(pgrep -f "^$folder/merrow-nikki/pravok" || true)
mkdir -p dist
import -display "$display" -window root dist/fresh-debian.png
chown --reference=. dist dist/fresh-debian.png   # the clone's owner's, not root's
if [ -z "$pid" ] || [ ! -f "$root$folder/merrow-nikki/nikki.xls" ]; then
    echo "FAILED: the diary did not start. Its output:" >&2
    cat "$root/tmp/pravok.log" >&2
    exit 1
fi
kill -TERM "$pid"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
ls "$root$folder/merrow-nikki"
[ -f "$root$folder/merrow-nikki/inf.txt" ] || { echo "FAILED: no orderly close" >&2; exit 1; }
echo "OK: started from '$folder' on a fresh Debian 12 and closed orderly; screenshot in dist/fresh-debian.png"
