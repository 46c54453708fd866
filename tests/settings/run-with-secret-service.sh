#!/bin/sh
# Runs a test program against a Secret Service of its own: a private session bus with an unlocked,
# empty keyring in a throw-away home, so the test never sees the user's real keyring.
set -eu

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export HOME="$work/home"
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY GNOME_KEYRING_CONTROL
export ORLIN_PRIVATE_SECRET_SERVICE=1

exec dbus-run-session -- sh -c '
    # The password creates the throw-away login keyring, unlocked and the default collection, so storing
    # needs no prompt; the daemon leaves with the bus.
    printf "orlin-test" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec "$@"
' run-with-secret-service "$@"
