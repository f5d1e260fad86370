#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `make demo`'s own script on a real X server (Xvfb) with a real session bus: the app opens on
# the simulated daemon it runs itself, flows reach it, the screen is pictured, and quitting stops
# the daemon with it. With the build's demonstration city database, the map section is pictured
# too (its name beside the screen's picture, "-mappa" added).
# Usage: demo-xvfb.sh BUILD FOTOGRAFA-SCHERMO SCHERMATA.png    Exit 0 passed, 77 skipped.
set -uo pipefail
build=$1
fotografa=$2
schermata=$3
radice=$(cd "$(dirname "$0")/../.." && pwd)
command -v Xvfb >/dev/null || { echo "Xvfb is missing"; exit 77; }
command -v dbus-run-session >/dev/null || { echo "dbus-run-session is missing"; exit 77; }
lavoro=$(mktemp -d /tmp/ostrale-xvfb-XXXXXX)
schermo=:$((90 + RANDOM % 100))
Xvfb "$schermo" -screen 0 1280x860x24 -nolisten tcp >"$lavoro/xvfb.log" 2>&1 &
xvfb=$!
demo=""
contenitore=""
bus=""
fine() {
    [ -n "$demo" ] && kill -TERM "$demo" 2>/dev/null && wait "$demo" 2>/dev/null
    [ -n "$bus" ] && kill "$bus" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -rf "$lavoro"
    [ -n "$contenitore" ] && rm -rf "$contenitore"
}
trap fine EXIT
fallito() { echo "FAILED: $*"; tail -n 30 "$lavoro/demo.log"; exit 1; }
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${schermo#:}" ] && break; sleep 0.1; done
# Debug lines in the app's log say which addresses it placed.
export DISPLAY=$schermo QT_QPA_PLATFORM=xcb OSTRALE_DEBUG=1
# A session bus of the test's own, which the test too can speak on.
DBUS_SESSION_BUS_ADDRESS=$(dbus-daemon --session --fork --nopidfile --print-address=1 \
    --print-pid=3 3>"$lavoro/bus.pid") || fallito "a session bus starts"
export DBUS_SESSION_BUS_ADDRESS
bus=$(cat "$lavoro/bus.pid")
setsid "$radice/strumenti/demo.sh" "$build" >"$lavoro/demo.log" 2>&1 &
demo=$!
for _ in $(seq 100); do
    contenitore=$(grep -o '/tmp/ostrale-demo-[A-Za-z0-9]*' "$lavoro/demo.log" | head -1)
    [ -n "$contenitore" ] && break
    sleep 0.1
done
[ -n "$contenitore" ] || fallito "the demo starts the app"
grep -q "The app is opening" "$lavoro/demo.log" || fallito "the demo chose the app"
# The daemon the app runs judges flows and the app takes them in.
for _ in $(seq 150); do
    [ -f "$contenitore/ostrale.conf" ] && pgrep -f "contenitore $contenitore" >/dev/null && break
    sleep 0.1
done
pgrep -f "contenitore $contenitore" >/dev/null || fallito "the app starts the simulated daemon"
sleep 8
pgrep -f "$build/Ostrale/ostrale" >/dev/null || fallito "the app still runs"
"$fotografa" "$schermata" || fallito "the screen is pictured"
echo "ok: the app runs on the simulated daemon under Xvfb; picture in $schermata"
# The build's demonstration city database places the simulated destinations for the map.
if [ -f "$build/Risorse/geodb-demo.mmdb" ]; then
    grep -q "The map shows the simulated destinations" "$lavoro/demo.log" ||
        fallito "the demo says the map shows the simulated destinations"
    citta=$(sed -n 's/.*Posizione [0-9a-f.:]*: //p' "$contenitore/app.log" | sort -u | wc -l)
    [ "$citta" -ge 3 ] || fallito "the app places the simulated destinations ($citta cities)"
    echo "ok: the app placed the simulated destinations in $citta cities"
    # The map section, asked for over the session bus as the tray's menu does.
    dbus-send --session --type=signal / it.brelt.ostrale.spento string:mappa
    for _ in $(seq 100); do
        grep -q "Primo sfondo della mappa disegnato" "$contenitore/app.log" && break
        sleep 0.1
    done
    grep -q "Sezione mostrata su richiesta: mappa" "$contenitore/app.log" ||
        fallito "the map section shows when asked for"
    grep -q "Primo sfondo della mappa disegnato" "$contenitore/app.log" ||
        fallito "the map draws its land and lines"
    "$fotografa" "${schermata%.png}-mappa.png" || fallito "the map is pictured"
    echo "ok: the map pictured in ${schermata%.png}-mappa.png"
else
    echo "note: no demonstration city database in $build: the map's positions are not checked"
fi
kill -TERM -- "-$demo" 2>/dev/null || kill -TERM "$demo"
wait "$demo" 2>/dev/null
demo=""
for _ in $(seq 100); do pgrep -f "contenitore $contenitore" >/dev/null || break; sleep 0.1; done
pgrep -f "contenitore $contenitore" >/dev/null && fallito "the daemon stops with the app"
echo "ok: quitting stops the daemon the app ran"
# The script's own ending (after the app's) may still be on its way.
for _ in $(seq 100); do grep -q "stay in $contenitore" "$lavoro/demo.log" && break; sleep 0.1; done
grep -q "stay in $contenitore" "$lavoro/demo.log" || fallito "the demo says where it left its files"
[ -f "$contenitore/registro-flussi.json" ] || fallito "the daemon's memory is kept"
echo "ok: the demo keeps its container and says where"
