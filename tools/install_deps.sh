#!/usr/bin/env bash
# Installs the Debian 12 packages the diary needs. "run" is enough to build and
# start it; "headless" adds the screenshot tools tools/run.sh uses without a
# display; "test" adds what the test suite, fuzzers and peers need.
#   tools/install_deps.sh MODE...
# As a normal user it asks sudo for the package step only, or prints the one
# line to run and stops.
set -euo pipefail

run_pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libgsf-1-dev libxcb1-dev
          fonts-ipafont-gothic fonts-ipafont-mincho qt6-translations-l10n xvfb xauth)
headless_pkgs=(x11-utils imagemagick)
# dbus-x11 gives D-Bus the autolaunch many desktops have, which the diary must not trigger.
test_pkgs=(python3 python3-xlrd python3-xlwt libreoffice-calc-nogui gnumeric
           faketime clang libclang-rt-14-dev x11-utils imagemagick
           desktop-file-utils libglib2.0-bin xdotool dbus-bin dbus-daemon dbus-x11 clang-format
           fcitx5 fcitx5-frontend-qt6 fcitx5-anthy at-spi2-core python3-pyatspi poppler-utils
           python3-uno)

pkgs=("${run_pkgs[@]}")
for mode in "${@:-run}"; do
    case $mode in
        headless) pkgs+=("${headless_pkgs[@]}") ;;
        test) pkgs+=("${test_pkgs[@]}") ;;
    esac
done

missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)

if [ "$(id -u)" -ne 0 ]; then
    line="apt-get install --no-install-recommends ${missing[*]}"
    command -v sudo >/dev/null && line="sudo $line"
    # sudo asks for the password on a terminal; elsewhere it may only use a rule without one.
    ask=(-n)
    [ -t 0 ] && ask=()
    if command -v sudo >/dev/null && echo "${#missing[@]} Debian packages are missing; sudo installs them:" \
        && sudo "${ask[@]}" true; then
        exec sudo -- bash "$(realpath "$0")" "$@"
    fi
    echo "Install the missing Debian packages as an administrator, then run this again:" >&2
    echo "  $line" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
log=$(mktemp --tmpdir merrow-nikki-packages-XXXXXX.log)
echo "Installing ${#missing[@]} Debian packages (a few minutes on a new machine)..."
if apt-get update >"$log" 2>&1 && apt-get install -y --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
    rm -f "$log"
    echo "Debian packages installed."
else
    tail -n 15 "$log" >&2
    echo "Installing the Debian packages failed; the whole log is $log" >&2
    exit 1
fi
