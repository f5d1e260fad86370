#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Rules out and in with ostralectl, through a running daemon (the simulated one: no root
# needed), then with none: export, edit, import, import again (nothing changes), replace; bad
# files refused whole with nothing changed, the daemon's rules file compared before and after.
# Usage: scambio-regole.sh ESTENSIONE OSTRALECTL    Exit 0 passed, else failed.
set -uo pipefail
estensione=$1
ctl=$2

lavoro=$(mktemp -d /tmp/ostrale-scambio-XXXXXX)
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock LC_ALL=C.UTF-8
mkdir -p "$OSTRALE_CONTENITORE"
demone=""
fine() {
    [ -n "$demone" ] && kill -TERM "$demone" 2>/dev/null && wait "$demone" 2>/dev/null
    rm -rf "$lavoro"
}
trap fine EXIT
fallito() {
    echo "FAILED: $*"
    [ -f "$lavoro/err" ] && { echo "--- standard error"; cat "$lavoro/err"; }
    exit 1
}
passo() { echo "ok: $*"; }
# Runs ostralectl; its status in $esito, its output in $lavoro/out and err.
ctl() {
    "$ctl" "$@" >"$lavoro/out" 2>"$lavoro/err"
    esito=$?
}
regole_json() { "$ctl" --json regole 2>/dev/null; }

"$estensione" --sorgente simulata --velocita 0.1 >"$lavoro/estensione.log" 2>&1 &
demone=$!
for _ in $(seq 100); do "$ctl" stato >/dev/null 2>&1 && break; sleep 0.1; done
"$ctl" stato >/dev/null 2>&1 || fallito "the daemon answers"

# ---- a machine's rules, exported ----
ctl regole app /usr/bin/git blocca --fascia 22:00-07:00 && ctl regole app /usr/bin/curl consenti \
    && ctl regole dominio tracker.example blocca && ctl regole imposta bloccaTracker sì \
    || fallito "the first rules"
ctl regole esporta "$lavoro/regole-uno.json"
[ "$esito" = 0 ] || fallito "esporta exits $esito"
grep -q '"formato": "ostrale-regole"' "$lavoro/regole-uno.json" || fallito "the file's format"
ctl regole esporta
cmp -s "$lavoro/out" "$lavoro/regole-uno.json" || fallito "esporta without a file writes the same"
passo "exported, to a file and to standard output"

# ---- edited, and imported on a machine with rules of its own ----
python3 - "$lavoro/regole-uno.json" "$lavoro/regole-due.json" <<'EOF'
import json, sys
f = json.load(open(sys.argv[1]))
for r in f["regole"]:
    if r["firmaApp"] == "/usr/bin/curl":
        r["azione"] = "blocca"
f["regoleDominio"].append({"id": "5A1B6C2D-0000-4000-8000-000000000001", "dominio": "ads.example",
                           "azione": "blocca", "attiva": True})
f["impostazioni"]["giorniQuarantena"] = 9
json.dump(f, open(sys.argv[2], "w"))
EOF
ctl regole rimuovi app /usr/bin/git && ctl regole app /usr/bin/wget blocca || fallito "drift"
ctl regole importa "$lavoro/regole-due.json"
[ "$esito" = 0 ] || fallito "importa exits $esito"
cat "$lavoro/out"
grep -q "^added    app /usr/bin/git: block, active, 22:00-07:00" "$lavoro/out" || fallito "git added back"
grep -q "^added    domain ads.example: block, active" "$lavoro/out" || fallito "the new domain"
grep -q "^changed  app /usr/bin/curl: allow → block" "$lavoro/out" || fallito "curl changed"
grep -q "^changed  settings: giorniQuarantena 3 → 9" "$lavoro/out" || fallito "the settings"
grep -q "^2 added, 2 changed, 0 removed" "$lavoro/out" || fallito "the summary"
regole_json | grep -q '"firmaApp":"/usr/bin/wget"' || fallito "a rule the file lacks stays"
regole_json | grep -q '"fascia":{"inizio":1320,"fine":420}' || fallito "git's window"
prima=$(regole_json)
ctl regole importa "$lavoro/regole-due.json"
grep -q "^0 added, 0 changed, 0 removed" "$lavoro/out" && grep -q "nothing to change" "$lavoro/err" ||
    fallito "the second import changes something: $(cat "$lavoro/out")"
[ "$(regole_json)" = "$prima" ] || fallito "the second import changed the rules"
passo "merged: added, changed, kept; the same file again changes nothing"

ctl regole importa "$lavoro/regole-due.json" --sostituisci
grep -q "^removed  app /usr/bin/wget" "$lavoro/out" || fallito "--sostituisci removes wget"
regole_json | grep -q wget && fallito "wget is still there"
passo "replaced: what the file lacks is removed"

# ---- bad files: refused whole, nothing changed ----
prima=$(regole_json)
stato_file=$(cat "$OSTRALE_CONTENITORE/regole.json")
sed 's/"versione": 1/"versione": 1!/' "$lavoro/regole-uno.json" >"$lavoro/rotto.json"
sed 's/"versione": 1/"versione": 7/' "$lavoro/regole-uno.json" >"$lavoro/versione.json"
python3 - "$lavoro/regole-uno.json" "$lavoro/doppio.json" <<'EOF'
import json, sys
f = json.load(open(sys.argv[1]))
f["regoleDominio"].append(dict(f["regoleDominio"][0], dominio="altro.example"))
json.dump(f, open(sys.argv[2], "w"))
EOF
head -c $((50 * 1024 * 1024)) /dev/zero | tr '\0' ' ' >"$lavoro/grande.json"
for caso in "rotto.json:not JSON at line 3, column 16" "versione.json:version 7" \
    "doppio.json:two rules have the id" "grande.json:larger than 4 MiB" \
    "assente.json:cannot read"; do
    ctl regole importa "$lavoro/${caso%%:*}"
    [ "$esito" = 2 ] || fallito "${caso%%:*}: exit $esito, not 2"
    grep -qF "${caso#*:}" "$lavoro/err" || fallito "${caso%%:*}: $(cat "$lavoro/err")"
    [ ! -s "$lavoro/out" ] || fallito "${caso%%:*} printed a plan: $(cat "$lavoro/out")"
done
[ "$(regole_json)" = "$prima" ] || fallito "a refused file changed the rules"
[ "$(cat "$OSTRALE_CONTENITORE/regole.json")" = "$stato_file" ] || fallito "a refused file changed regole.json"
passo "bad files refused whole with where and why, nothing changed"

# ---- without a daemon: the container's file ----
kill -TERM "$demone"; wait "$demone"; demone=""
ctl regole importa "$lavoro/regole-uno.json" --sostituisci
[ "$esito" = 0 ] || fallito "importa without a daemon exits $esito"
grep -q "no daemon answers at .*: the rules file in $OSTRALE_CONTENITORE was changed directly" \
    "$lavoro/err" || fallito "it says the file is used: $(cat "$lavoro/err")"
grep -q '"/usr/bin/curl"' "$OSTRALE_CONTENITORE/regole.json" || fallito "the file holds the rules"
ctl regole importa "$lavoro/regole-uno.json" --sostituisci
grep -q "nothing to change" "$lavoro/err" && grep -q "was read directly" "$lavoro/err" ||
    fallito "again without a daemon: $(cat "$lavoro/err")"
passo "without a daemon, the container's rules file, the same way"
echo "rules out and in: all passed"
