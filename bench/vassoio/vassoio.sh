#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the tray costs a desktop panel: the icon updates (NewIcon signals) the app sends a second,
# counted by a StatusNotifierWatcher and host of our own on a private session bus, with the app
# on a real X server (Xvfb) running the simulated extension: first with its window shown, then
# in the tray alone (--nascosta).
# Usage: bench/vassoio/vassoio.sh BUILD [SECONDS]    Exit 77 without Xvfb or dbus-daemon.
set -uo pipefail
build=$1
secondi=${2:-20}
command -v Xvfb >/dev/null && command -v dbus-daemon >/dev/null || exit 77
lavoro=$(mktemp -d /tmp/ostrale-vassoio-XXXXXX)
schermo=:$((90 + RANDOM % 100))
Xvfb "$schermo" -screen 0 1280x860x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
bus=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=3 3>"$lavoro/bus.pid")
fine() {
    pkill -f "contenitore $lavoro" 2>/dev/null
    kill "$xvfb" "$(cat "$lavoro/bus.pid")" 2>/dev/null
    rm -rf "$lavoro"
}
trap fine EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${schermo#:}" ] && break; sleep 0.1; done
export DISPLAY=$schermo QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=$bus
export OSTRALE_CONTENITORE=$lavoro OSTRALE_SOCKET=$lavoro/ostrale.sock OSTRALE_GESTORE=locale
export OSTRALE_IMPOSTAZIONI=$lavoro/ostrale.conf OSTRALE_BLOCCO_APP=$lavoro/app.lock
export OSTRALE_COMANDO_ESTENSIONE="$build/Estensione/ostrale-estensione --sorgente simulata --contenitore $lavoro --velocita 5"
printf '[General]\nhostFeodo=http://127.0.0.1:9\nhostThreatFox=http://127.0.0.1:9\nhostDBIP=http://127.0.0.1:9\n' \
    >"$OSTRALE_IMPOSTAZIONI"
for modo in "window shown" "tray alone"; do
    "$build/bench/osservatore-vassoio" "$((secondi + 4))" >"$lavoro/conto" &
    osservatore=$!
    sleep 1
    argomenti=()
    [ "$modo" = "tray alone" ] && argomenti=(--nascosta)
    "$build/Ostrale/ostrale" "${argomenti[@]}" >"$lavoro/app.log" 2>&1 &
    app=$!
    wait "$osservatore"
    kill -TERM "$app"
    wait "$app" 2>/dev/null
    echo "$modo: $(cat "$lavoro/conto")"
done
