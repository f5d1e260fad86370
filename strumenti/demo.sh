#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The demonstration, in a temporary container. On a desktop (a display to draw on): the app, which
# starts the filter daemon on its simulated traffic as its own child and shows the dashboard, the
# report card and the tray. Without a display: the daemon, and `ostralectl flussi --segui` beside
# it showing the verdicts as the app would receive them over the local channel.
# Ctrl-C (or quitting the app) stops everything cleanly: the daemon saves its memory, and the
# container is left for a look, its path said. Simulated time runs 20 times faster from a day
# ago until it reaches the present, so every time shown is one that has passed.
set -euo pipefail
build=${1:-build}
contenitore=$(mktemp -d /tmp/ostrale-demo-XXXXXX)
export OSTRALE_SOCKET="$contenitore/ostrale.sock"
demone=""
app=""
fine() {
    if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then
        kill -TERM "$app"
        wait "$app" || true
    fi
    if [ -n "$demone" ] && kill -0 "$demone" 2>/dev/null; then
        kill -TERM "$demone"
        wait "$demone" || true
    fi
    echo
    echo "The daemon's memory, the rules and the logs stay in $contenitore:"
    ls -l "$contenitore"
    echo "(remove it with: rm -r $contenitore)"
}
trap fine EXIT
trap 'exit 0' INT TERM

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/Ostrale/ostrale" ] &&
    { [ -n "${WAYLAND_DISPLAY:-}" ] || "$build/Ostrale/ostrale" --puo-disegnare 2>/dev/null; }; then
    # The simulated destinations are documentation addresses, which no real city database places:
    # the build's demonstration database puts them in cities around the world, for this app only.
    geodb=$(cd "$build" && pwd)/Risorse/geodb-demo.mmdb
    if [ -f "$geodb" ]; then
        export GEODB_PERCORSO=$geodb
        mappa="The map shows the simulated destinations, placed in cities around the world by a
demonstration city database (their addresses are documentation ones, which no real database
places)."
    else
        mappa="The map stays empty: the demonstration city database was not built (it needs
libmaxmind-db-writer-perl when the build is configured: make deps, then cmake -S . -B $build)."
    fi
    # This computer's position, where the map's lines start, comes from GeoClue2, else from the
    # city of the time zone. A zone that names no place (UTC, as in many containers) would leave
    # the lines without a start: the app then runs on Rome's time.
    fuso=${TZ:-}
    fuso=${fuso#:}
    case "$fuso" in "" | /*) fuso=$(readlink -f "${fuso:-/etc/localtime}" 2>/dev/null |
        sed -n 's|.*/zoneinfo/||p') ;; esac
    [ -n "$fuso" ] || fuso=$(cat /etc/timezone 2>/dev/null || true)
    case "$fuso" in
        "" | UTC* | UCT | GMT* | Etc/* | Universal | Zulu)
            export TZ=Europe/Rome
            mappa="$mappa
This machine's time zone (${fuso:-none}) names no place: the app runs on Rome's time and the
lines start from Rome."
            ;;
    esac
    cat <<MSG
Ostrale, a per-application network firewall for Linux desktops.

The app is opening on a simulated desktop: it runs the filter daemon itself (no systemd service
is touched) on browsers, everyday applications, a never-seen application in quarantine and, every
minute or so, attacks. Watch the dashboard's counters and picture, the map, the report card and
the tray icon. Nothing is downloaded in the demonstration (feeds, city database).
$mappa
Log of the app and its daemon: $contenitore/app.log
Quit from the tray ("Esci") or with Ctrl-C.

MSG
    export OSTRALE_CONTENITORE=$contenitore OSTRALE_GESTORE=locale
    export OSTRALE_IMPOSTAZIONI=$contenitore/ostrale.conf OSTRALE_BLOCCO_APP=$contenitore/app.lock
    export OSTRALE_COMANDO_ESTENSIONE="$build/Estensione/ostrale-estensione --sorgente simulata --contenitore $contenitore --velocita 2 --accelera 20 --dal-passato 86400"
    printf '[General]\nhostFeodo=http://127.0.0.1:9\nhostThreatFox=http://127.0.0.1:9\nhostDBIP=http://127.0.0.1:9\n' \
        >"$OSTRALE_IMPOSTAZIONI"
    "$build/Ostrale/ostrale" "${@:2}" 2>"$contenitore/app.log" &
    app=$!
    wait "$app" || true
    app=""
    exit 0
fi
[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && echo "No display here: the demonstration runs in the terminal."

cat <<MSG
Ostrale, a per-application network firewall for Linux desktops.

The filter daemon judges a simulated desktop: browsers and everyday applications, the system
resolver, a never-seen application in quarantine, and every few minutes a scan, password
guessing, a DNS tunnel, a flood, look-alike and machine-generated names, a known
command-and-control address, lateral movement in the local network. Simulated time runs 20 times
faster from a day ago, so the hour-long patterns (beacon, channel kept open, slow exfiltration)
show up too.
Below, ostralectl follows the verdicts over the daemon's local socket; "ATTACCO" lines are the
attack detector's findings. Daemon log: $contenitore/estensione.log      Stop with Ctrl-C.

MSG
"$build/Estensione/ostrale-estensione" --sorgente simulata --contenitore "$contenitore" \
    --velocita 0.5 --accelera 20 --dal-passato 86400 "${@:2}" 2>"$contenitore/estensione.log" &
demone=$!
for _ in $(seq 50); do [ -S "$OSTRALE_SOCKET" ] && break; sleep 0.1; done
"$build/ostralectl/ostralectl" flussi --segui || true
