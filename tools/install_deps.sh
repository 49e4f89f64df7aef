#!/usr/bin/env bash
# Installs the Debian 12 packages the diary needs. "run" is enough to build and
# start it; "test" adds what the test suite, fuzzers and peers need.
set -euo pipefail
mode=${1:-run}

run_pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libgsf-1-dev libxcb1-dev
          fonts-ipafont-gothic fonts-ipafont-mincho xvfb xauth)
test_pkgs=(python3 python3-xlrd python3-xlwt libreoffice-calc-nogui gnumeric
           faketime clang libclang-rt-14-dev x11-utils imagemagick
           desktop-file-utils libglib2.0-bin xdotool dbus-bin dbus-daemon clang-format
           fcitx5 fcitx5-frontend-qt6 fcitx5-anthy at-spi2-core python3-pyatspi poppler-utils
           python3-uno)

pkgs=("${run_pkgs[@]}")
[ "$mode" = test ] && pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]} (run this script as root to install them)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
