#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The app as processes, on the offscreen platform with a session bus of its own, running the
# simulated extension as its child: one copy per user (a second ostrale brings the first one's
# window forward and ends, a second ostrale-stato refuses), quitting with a question on screen,
# an extension that never outlives its app, and a relaunch that waits for the old copy.
# Usage: app-processi.sh OSTRALE OSTRALE-STATO OSTRALE-ESTENSIONE OSTRALECTL
set -uo pipefail
app=$1
stato=$2
estensione=$3
ctl=$4
command -v dbus-daemon >/dev/null || { echo "dbus-daemon is missing"; exit 77; }
lavoro=$(mktemp -d /tmp/ostrale-processi-XXXXXX)
contenitore=$lavoro/contenitore
mkdir -p "$contenitore"
export OSTRALE_CONTENITORE=$contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
export OSTRALE_IMPOSTAZIONI=$lavoro/ostrale.conf OSTRALE_BLOCCO_APP=$lavoro/app.lock
export OSTRALE_GESTORE=locale QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
export OSTRALE_COMANDO_ESTENSIONE="$estensione --sorgente simulata --contenitore $contenitore --velocita 20"
printf '[General]\nhostFeodo=http://127.0.0.1:9\nhostThreatFox=http://127.0.0.1:9\nhostDBIP=http://127.0.0.1:9\n' \
    >"$OSTRALE_IMPOSTAZIONI"
# Every never-ruled application waits for the app's answer.
printf '{"impostazioni":{"chiediPrima":true,"bloccaSconosciute":true}}' >"$contenitore/regole.json"
bus=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=3 3>"$lavoro/bus.pid")
export DBUS_SESSION_BUS_ADDRESS=$bus
pids=()
fine() {
    for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done
    pkill -KILL -f "contenitore $contenitore" 2>/dev/null
    kill "$(cat "$lavoro/bus.pid")" 2>/dev/null
    rm -rf "$lavoro"
}
trap fine EXIT
fallito() {
    echo "FAILED: $*"
    for f in "$lavoro"/*.log; do echo "== $f"; tail -n 15 "$f"; done
    exit 1
}
# Waits (up to 20 s) for a command to succeed.
aspetta() { for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done; return 1; }
demoni() { pgrep -f "contenitore $contenitore" | wc -l; }
nessunDemone() { [ "$(demoni)" = 0 ]; }
connessa() { "$ctl" --json stato 2>/dev/null | grep -q '"appConnessa":true'; }
domanda() { "$ctl" --json stato 2>/dev/null | grep -q '"domandeInAttesa":[1-9]'; }
finito() { ! kill -0 "$1" 2>/dev/null; }
avvia() { # NAME ARGS...: starts the app in the background; its pid in $ultimo
    local nome=$1
    shift
    "$app" "$@" >"$lavoro/$nome.log" 2>&1 &
    ultimo=$!
    pids+=("$ultimo")
}

# One copy per user.
avvia primo
primo=$ultimo
aspetta connessa || fallito "the app runs its extension and registers"
avvia secondo
secondo=$ultimo
aspetta finito "$secondo" || fallito "a second copy ends"
wait "$secondo"
[ $? = 0 ] || fallito "a second copy ends with status 0"
grep -q "already runs for this user (pid $primo): its window comes forward" "$lavoro/secondo.log" ||
    fallito "a second copy brings the first one's window forward"
"$stato" --durata 30 >"$lavoro/stato.log" 2>&1
[ $? = 1 ] || fallito "ostrale-stato beside the app ends with status 1"
grep -q "already runs for this user" "$lavoro/stato.log" || fallito "ostrale-stato says why"
finito "$primo" && fallito "the first copy runs on"
connessa || fallito "the first copy keeps the extension"
[ "$(demoni)" = 1 ] || fallito "one extension runs"
echo "ok: one copy per user"

# Quitting with a question on screen: the question goes, the app and its extension end.
aspetta domanda || fallito "a held flow's question is asked"
inizio=$(date +%s%N)
kill -TERM "$primo"
aspetta finito "$primo" || fallito "the app quits with a question open"
durata=$((($(date +%s%N) - inizio) / 1000000))
aspetta nessunDemone || fallito "its extension ends with it"
echo "ok: quit with a question open in $durata ms, the extension with it"

# However the app ends, its extension does not outlive it.
avvia terzo
terzo=$ultimo
aspetta connessa || fallito "the app starts again"
kill -KILL "$terzo"
aspetta nessunDemone || fallito "the extension of a killed app ends"
echo "ok: a killed app's extension ends"

# A relaunch waits for the copy that started it, then takes over with an extension of its own.
avvia quarto
quarto=$ultimo
aspetta connessa || fallito "the app starts again"
avvia quinto --riavvio
quinto=$ultimo
sleep 1
finito "$quinto" && fallito "a relaunch waits for the old copy"
[ "$(demoni)" = 1 ] || fallito "one extension while the old copy runs"
kill -TERM "$quarto"
aspetta finito "$quarto" || fallito "the old copy quits"
aspetta connessa || fallito "the relaunched copy registers"
finito "$quinto" && fallito "the relaunched copy runs"
[ "$(demoni)" = 1 ] || fallito "one extension after the relaunch"
kill -TERM "$quinto"
aspetta finito "$quinto" || fallito "the relaunched copy quits"
echo "ok: a relaunch takes over once the old copy is gone"
