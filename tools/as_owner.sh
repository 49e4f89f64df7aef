# shellcheck shell=bash
# Sourced by the scripts that build, from the top of the clone: the clone's
# owner builds, so that no run leaves files in it that the owner cannot change.

# One clear sentence instead of CMake's errors when the user cannot write here.
#   need_writable DIR...   the clone and the build folders the script writes
need_writable() {
    local folder
    if [ ! -w . ]; then
        echo "Cannot build: $(id -un) may not write in the folder '$PWD'; clone the repository into a folder of your own, such as your home folder." >&2
        exit 1
    fi
    for folder in "$@"; do
        if [ -e "$folder" ] && [ -n "$(find "$folder" ! -writable -print -quit 2>/dev/null)" ]; then
            echo "Cannot build: '$PWD/$folder' holds files that $(id -un) may not change (left by an earlier run as root?); remove it with: sudo rm -rf '$PWD/$folder'" >&2
            exit 1
        fi
    done
}

# Run as root (sudo) in a normal user's clone, once the packages are in: the
# rest of the script runs again as that user. The runtime folder and session
# bus of root are not the user's.
#   continue_as_owner SCRIPT ARGS...
continue_as_owner() {
    [ "$(id -u)" -eq 0 ] && [ "$(stat -c %u .)" -ne 0 ] || return 0
    local owner
    owner=$(stat -c %U .)
    echo "Building and running as $owner, who owns this clone."
    exec runuser -u "$owner" -- env -u XDG_RUNTIME_DIR -u DBUS_SESSION_BUS_ADDRESS bash "$@"
}
