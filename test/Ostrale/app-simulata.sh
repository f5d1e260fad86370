#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The headless app beside the simulated extension and ostralectl: ostralectl's calls and a
# follower never displace the app, and the app answers a never-seen application's paused flow
# within a second.
# After a minute of the scenario, the app's attack archive holds every kind of attack the daemon
# reported.
# The app's data services beside it: the C2 feeds from a server on loopback reach the daemon
# merged, and the scenario's addresses are placed on the map (a city database of the test's own
# written by MaxMind's writer, covering the documentation ranges the scenario uses).
# Usage: app-simulata.sh ESTENSIONE OSTRALECTL OSTRALE-STATO SCRIVI-MMDB
#        Exit 0 passed, else failed.
set -uo pipefail
estensione=$1
ctl=$2
app=$3
scriviMmdb=$4

inizio=$SECONDS
lavoro=$(mktemp -d /tmp/ostrale-app-XXXXXX)
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
export OSTRALE_IMPOSTAZIONI=$lavoro/ostrale.conf
export XDG_DATA_HOME=$lavoro/dati
mkdir -p "$OSTRALE_CONTENITORE"
figli=()
fine() {
    for p in "${figli[@]}"; do kill -TERM "$p" 2>/dev/null; done
    for p in "${figli[@]}"; do wait "$p" 2>/dev/null; done
    [ -n "${OSTRALE_TIENI:-}" ] || rm -rf "$lavoro"
}
trap fine EXIT
fallito() {
    echo "FAILED: $*"
    echo "--- daemon (last lines)"; tail -n 20 "$lavoro/estensione.log"
    echo "--- app (last lines)"; tail -n 20 "$lavoro/app.log"
    exit 1
}
passo() { echo "ok: $*"; }
# Each line of a program's output with the moment it was read, in seconds.
marca() { while IFS= read -r riga; do printf '%s %s\n' "$EPOCHREALTIME" "$riga"; done; }
connessa() { "$ctl" --json stato 2>/dev/null | grep -q '"appConnessa":true'; }

# The feeds on loopback: 60 addresses in the plain list, 40 in the CSV, 10 of them in both.
mkdir -p "$lavoro/feed/downloads" "$lavoro/feed/export/csv/ip-port/recent" "$lavoro/mmdb"
{ echo "# Feodo Tracker"; for i in $(seq 1 60); do echo "198.18.0.$i"; done; } \
    >"$lavoro/feed/downloads/ipblocklist.txt"
{ echo "# ThreatFox"; for i in $(seq 51 90); do
      echo "\"2026-12-07 10:00:00\",\"$((1000 + i))\",\"198.18.0.$i:443\",\"ip:port\""; done; } \
    >"$lavoro/feed/export/csv/ip-port/recent/index.html"
python3 -u -m http.server --bind 127.0.0.1 --directory "$lavoro/feed" 0 >"$lavoro/http.log" 2>&1 &
figli+=($!)
for _ in $(seq 50); do grep -q "port" "$lavoro/http.log" && break; sleep 0.1; done
porta=$(grep -o 'port [0-9]*' "$lavoro/http.log" | head -1 | cut -d' ' -f2)
[ -n "$porta" ] || fallito "the feed server starts"
printf '[General]\nhostFeodo=http://127.0.0.1:%s\nhostThreatFox=http://127.0.0.1:%s\nhostDBIP=http://127.0.0.1:%s\n' \
    "$porta" "$porta" "$porta" >"$OSTRALE_IMPOSTAZIONI"
perl "$scriviMmdb" "$lavoro/mmdb" || fallito "the test city database"
export GEODB_PERCORSO=$lavoro/mmdb/documentazione.mmdb

# The simulated machine, a day compressed: its never-seen editor shows up after about 10 s.
"$estensione" --sorgente simulata --contenitore "$OSTRALE_CONTENITORE" --verboso \
    --velocita 2 --accelera 25 > >(marca >"$lavoro/estensione.log") 2>&1 &
figli+=($!)
for _ in $(seq 100); do "$ctl" stato >/dev/null 2>&1 && break; sleep 0.1; done
"$ctl" stato >/dev/null || fallito "the daemon answers"
"$ctl" --json stato | grep -q '"appConnessa":false' || fallito "no app at first"
# Asking first from the start: the editor shows up on the scenario's clock, whatever the time the
# calls below take on a loaded machine.
"$ctl" regole imposta chiediPrima sì >/dev/null || fallito "chiediPrima"
"$ctl" regole imposta bloccaSconosciute sì >/dev/null || fallito "bloccaSconosciute"

OSTRALE_DEBUG=1 "$app" --gestore esterno --rispondi consenti --senza-flussi > >(marca >"$lavoro/app.log") 2>&1 &
figli+=($!)
for _ in $(seq 100); do connessa && break; sleep 0.1; done
connessa || fallito "the app registers"
for i in $(seq 20); do
    case $((i % 4)) in
        0) "$ctl" stato ;; 1) "$ctl" regole ;; 2) "$ctl" flussi ;; 3) "$ctl" storico ;;
    esac >/dev/null 2>&1 || fallito "ostralectl call $i"
done
connessa || fallito "the app stays connected after 20 ostralectl calls"
[ "$(grep -c "registrata presso" "$lavoro/app.log")" = 1 ] || fallito "the app registered once"
passo "20 ostralectl calls leave the app connected"

"$ctl" flussi --segui >"$lavoro/segui.log" 2>&1 &
figli+=($!)
editor=/opt/nuovo-editor/editor
for _ in $(seq 400); do
    grep -q "consenti  $editor .*(regola)" "$lavoro/estensione.log" && break
    sleep 0.1
done
sospeso=$(grep -m1 "sospeso   $editor" "$lavoro/estensione.log" | cut -d' ' -f1)
risposta=$(grep -m1 "connessione sospesa: $editor .*→ consenti" "$lavoro/app.log" | cut -d' ' -f1)
[ -n "$sospeso" ] || fallito "the never-seen editor's flow is paused"
[ -n "$risposta" ] || fallito "the app is asked about the editor and answers"
grep -q "consenti  $editor .*(regola)" "$lavoro/estensione.log" ||
    fallito "the answer becomes the editor's rule in the daemon"
ritardo=$(awk -v a="$sospeso" -v b="$risposta" 'BEGIN { printf "%.3f", b - a }')
awk -v r="$ritardo" 'BEGIN { exit !(r < 1) }' || fallito "answered in $ritardo s, not within 1 s"
"$ctl" --json regole | grep -q "$editor" || fallito "the rule is stored"
kill -0 "${figli[3]}" 2>/dev/null || fallito "the follower still runs"
for _ in $(seq 300); do [ -s "$lavoro/segui.log" ] && break; sleep 0.1; done
[ -s "$lavoro/segui.log" ] || fallito "the follower saw flows"
connessa || fallito "the app stays connected beside the follower"
[ "$(grep -c "registrata presso" "$lavoro/app.log")" = 1 ] || fallito "the app registered once"
passo "a never-seen application answered by the app in $ritardo s while a follower runs"

# A minute of the scenario (more than one cycle of its episodes), then the app quits.
while [ $((SECONDS - inizio)) -lt 60 ]; do sleep 1; done
"$ctl" --json attacchi >"$lavoro/attacchi-demone.json" || fallito "the daemon's attacks"
grep -q "Blocklist C2 aggiornata: 90 indirizzi" "$lavoro/estensione.log" ||
    fallito "the merged C2 list (90 addresses) reaches the daemon"
passo "the C2 feeds from loopback reach the daemon merged: 90 addresses"
posizioni=$(grep -o 'posizioni: [0-9]*' "$lavoro/app.log" | tail -1 | cut -d' ' -f2)
[ "${posizioni:-0}" -ge 3 ] || fallito "the scenario's addresses are placed (${posizioni:-0})"
grep -q "Posizione 198.51.100.* Francoforte, Germania" "$lavoro/app.log" ||
    fallito "the positions are logged at debug level"
passo "$posizioni of the scenario's addresses placed"
kill -TERM "${figli[2]}"
wait "${figli[2]}" 2>/dev/null
python3 - "$lavoro/attacchi-demone.json" "$OSTRALE_CONTENITORE" <<'PY' || fallito "the app's archive"
import json, sys
demone = json.load(open(sys.argv[1]))
archivio = json.load(open(sys.argv[2] + "/attacchi.json"))
conteggi = json.load(open(sys.argv[2] + "/conteggio-attacchi.json"))
tipi = {e["attacco"] for e in demone if "attacco" in e}
tipiArchivio = {e["attacco"] for e in archivio}
print("daemon:", sorted(tipi))
print("archive:", len(archivio), "events;", "counts:", conteggi)
assert len(tipi) >= 5, "the scenario shows several kinds of attack"
assert tipi <= tipiArchivio, f"missing from the archive: {tipi - tipiArchivio}"
assert set(conteggi) == tipiArchivio, "one counter per archived kind"
assert all(conteggi[t] >= sum(1 for e in archivio if e["attacco"] == t) for t in conteggi)
chiavi = [(e["data"], e["attacco"]) for e in archivio]
assert len(chiavi) == len(set(chiavi)), "no attack archived twice"
PY
passo "after a minute the archive holds the daemon's attack kinds: $(tr -d '\n' <"$OSTRALE_CONTENITORE/conteggio-attacchi.json")"
