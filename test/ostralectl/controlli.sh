#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Where ostralectl finds the rules, and what it refuses. With a daemon (the simulated one) the
# rules are the daemon's, whatever container the environment names, also with OSTRALE_SOCKET
# alone; bad domains, windows and identities are refused with exit 2 and the stored rules stay
# as they were; rispondi refuses with exit 4 when no question waits for the application, sends
# nothing then, and answers a daemon too old to tell which applications wait; without a daemon
# the container's file is read and changed with one line on standard error, and a file that
# cannot be read is reported, never shown as no rules nor replaced.
# Usage: controlli.sh ESTENSIONE OSTRALECTL    Exit 0 passed, else failed.
set -uo pipefail
estensione=$1
ctl=$2
canale="$(dirname "$0")/canale.py"

lavoro=$(mktemp -d /tmp/ostrale-controlli-XXXXXX)
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock LC_ALL=C.UTF-8
mkdir -p "$OSTRALE_CONTENITORE"
source "$(dirname "$0")/comune.sh"
ctl() {
    "$ctl" "$@" >"$lavoro/out" 2>"$lavoro/err"
    esito=$?
}
# The rules as the daemon answers leggiRegole:, and as ostralectl shows them; sorted JSON.
del_demone() { python3 "$canale" "$OSTRALE_SOCKET" chiama leggiRegole: | ordinato; }
ordinato() { python3 -c 'import json, sys; print(json.dumps(json.load(sys.stdin), sort_keys=True))'; }

"$estensione" --sorgente simulata --velocita 0.1 >"$lavoro/estensione.log" 2>&1 &
figli+=($!)
for _ in $(seq 300); do "$ctl" stato >/dev/null 2>&1 && break; sleep 0.1; done
"$ctl" stato >/dev/null 2>&1 || { fallito "the daemon answers"; exit 1; }

# ---- the daemon's rules, with OSTRALE_SOCKET alone or another container named ----
for argomenti in "app /usr/bin/git blocca --fascia 22:00-07:00" "app org.example.Editor consenti" \
    "app firefox blocca --per 1h" "app ?/home/utente/bin/strumento blocca" \
    "dominio tracker.example blocca" "dominio negozio.example consenti --app /usr/bin/curl --porta 443"; do
    # shellcheck disable=SC2086
    ctl regole $argomenti
    [ "$esito" = 0 ] || fallito "regole $argomenti exits $esito: $(cat "$lavoro/err")"
done
# Another container with rules of its own: a client that read it would show them.
mkdir "$lavoro/altro"
echo '{"regole":[],"regoleDominio":[],"impostazioni":{"bloccaTracker":true}}' >"$lavoro/altro/regole.json"
attese=$(del_demone)
[ "$(echo "$attese" | python3 -c 'import json, sys; print(len(json.load(sys.stdin)["regole"]))')" -ge 6 ] ||
    fallito "the daemon holds [$attese]"
for ambiente in "-u OSTRALE_CONTENITORE" "OSTRALE_CONTENITORE=$lavoro/altro"; do
    # shellcheck disable=SC2086
    mostrate=$(env $ambiente "$ctl" --json regole 2>"$lavoro/err" | ordinato)
    [ "$mostrate" = "$attese" ] || fallito "env $ambiente: regole shows [$mostrate], not [$attese]"
    [ -s "$lavoro/err" ] && fallito "env $ambiente: regole says $(cat "$lavoro/err")"
    # shellcheck disable=SC2086
    env $ambiente "$ctl" regole >"$lavoro/out"
    for firma in /usr/bin/git org.example.Editor firefox "?/home/utente/bin/strumento" \
        tracker.example "negozio.example port 443 for /usr/bin/curl"; do
        grep -qF -- "$firma" "$lavoro/out" || fallito "env $ambiente: regole does not list $firma"
    done
    # shellcheck disable=SC2086
    env $ambiente "$ctl" --json stato >"$lavoro/out"
    python3 - "$lavoro/out" "$attese" <<'EOF' || fallito "env $ambiente: stato counts $(cat "$lavoro/out")"
import json, sys
stato, regole = json.load(open(sys.argv[1])), json.loads(sys.argv[2])
assert stato["connessa"] and stato["regoleApp"] == len(regole["regole"]), stato
assert stato["regoleDominio"] == len(regole["regoleDominio"]), stato
EOF
done
ctl regole app /usr/bin/git consenti
grep -qx "ostralectl: the existing window 22:00-07:00 is kept (--senza-fascia removes it)" \
    "$lavoro/err" || fallito "repeating an application's rule: $(cat "$lavoro/err")"
del_demone | grep -q '"fascia": {"fine": 420, "inizio": 1320}' || fallito "git's window was not kept"
passo "the daemon's rules, also with OSTRALE_SOCKET alone or another container named"

# ---- bad input: refused with the reason, the stored rules as they were ----
prima=$(del_demone)
prima_file=$(cat "$OSTRALE_CONTENITORE/regole.json")
# Each case: the arguments, then '|' and what the refusal says.
while IFS='|' read -r argomenti motivo; do
    # shellcheck disable=SC2086
    eval "ctl $argomenti"
    [ "$esito" = 2 ] || fallito "$argomenti: exit $esito, not 2"
    grep -qF -- "$motivo" "$lavoro/err" || fallito "$argomenti: $(head -1 "$lavoro/err")"
    [ -s "$lavoro/out" ] && fallito "$argomenti printed $(head -3 "$lavoro/out")"
done <<'EOF'
regole dominio '*.example.com' blocca|example.com covers its subdomains: write it without *.
regole dominio 'https://*.Example.com/x' blocca|example.com covers its subdomains: write it without *.
regole dominio 'ex*ample.com' consenti|* is no wildcard here
regole dominio 'exa mple.com' blocca|a domain has no spaces
regole dominio 'example.com:443' blocca|names a port: give it with --porta
regole dominio 10.0.0.0/8 blocca|is a network
regole dominio ab blocca|it needs a dot and at least 4 characters
regole dominio 'esempio..it' blocca|is not a domain
regole app /usr/bin/git blocca --fascia 07:00-07:00|the window 07:00-07:00 is empty
regole app /usr/bin/git blocca --fascia 24:30-07:00|the window is written HH:MM-HH:MM
regole app /usr/bin/git blocca --fascia 7-8|the window is written HH:MM-HH:MM
regole app /usr/bin/git blocca --fascia 07:60-08:00|the window is written HH:MM-HH:MM
regole app bin/curl blocca|'bin/curl' is a relative path
regole app 'Firefox Web' consenti|is not an application's identity: an identity is an absolute path
regole app '' consenti|an application's identity is empty
regole app org..Editor consenti|is not an application's identity
regole app /usr/bin/ blocca|is a folder
regole app sconosciuta blocca|no rule can name them
regole app /usr/bin/git forse|the action is allow or block
regole dominio example.com blocca --app ./curl|--app: './curl' is a relative path
regole imposta bloccaTracker forse|bloccaTracker wants yes or no
regole imposta giorniQuarantena 4000|giorniQuarantena wants a number of days from 0 to 3650
regole imposta nonEsiste sì|unknown setting 'nonEsiste'
rispondi curl/x consenti|'curl/x' is a relative path
rispondi /usr/bin/curl consenti --dominio '*.example.com'|--dominio: example.com covers its subdomains
EOF
[ "$(del_demone)" = "$prima" ] || fallito "a refused command changed the daemon's rules"
[ "$(cat "$OSTRALE_CONTENITORE/regole.json")" = "$prima_file" ] || fallito "a refused command changed regole.json"
for argomenti in "app /opt/città/ûtil blocca" "app snap-name2 blocca" "app org.example.App_2 blocca" \
    "dominio città.example blocca" "dominio '[2001:DB8::1]' blocca" "dominio 192.0.2.1 blocca" \
    "app /usr/bin/git consenti --fascia 00:00-24:00" "app /usr/bin/git consenti --fascia 7:05-23:59"; do
    eval "ctl regole $argomenti"
    [ "$esito" = 0 ] || fallito "regole $argomenti is refused: $(head -1 "$lavoro/err")"
done
passo "bad domains, windows, identities and settings refused with the reason, nothing changed"

# ---- rispondi: only for an application whose flows wait ----
ctl rispondi /usr/bin/curl consenti
[ "$esito" = 4 ] || fallito "rispondi with no question waiting exits $esito, not 4"
grep -qF "no question waits for /usr/bin/curl: nothing was sent (no application waits" \
    "$lavoro/err" || fallito "rispondi with no question: $(cat "$lavoro/err")"
[ -s "$lavoro/out" ] && fallito "rispondi with no question printed $(cat "$lavoro/out")"
# Daemons of its own: one that names the waiting application, one too old to.
finto() { # NAME INFORMATION
    python3 "$canale" "$lavoro/$1.sock" finto "$lavoro/$1.log" "$2" &
    figli+=($!)
    for _ in $(seq 100); do [ -S "$lavoro/$1.sock" ] && break; sleep 0.1; done
}
finto nuovo '{"versione":"0.2.0","appConnessa":true,"domandeInAttesa":1,"appInAttesa":["/usr/bin/a"]}'
finto vecchio '{"versione":"0.0.9","appConnessa":true,"domandeInAttesa":1}'
finto fermo '{"versione":"0.0.9","appConnessa":true,"domandeInAttesa":0}'
ctl --socket "$lavoro/nuovo.sock" rispondi /usr/bin/b blocca --una-volta
[ "$esito" = 4 ] && grep -qF "(waiting: /usr/bin/a)" "$lavoro/err" ||
    fallito "rispondi for an application that does not wait: exit $esito, $(cat "$lavoro/err")"
grep -q "^rispondi" "$lavoro/nuovo.log" && fallito "an answer nobody waits for was sent"
ctl --socket "$lavoro/nuovo.sock" rispondi /usr/bin/a blocca --una-volta
[ "$esito" = 0 ] || fallito "rispondi for the waiting application exits $esito"
grep -qF 'rispondiSospesi: {"firma":"/usr/bin/a","consenti":false,"unaVolta":true}' \
    "$lavoro/nuovo.log" || fallito "the answer sent: $(grep rispondi "$lavoro/nuovo.log")"
ctl --socket "$lavoro/vecchio.sock" rispondi /usr/bin/b consenti
[ "$esito" = 0 ] || fallito "rispondi to a daemon that does not tell which applications wait exits $esito"
grep -qF "rispondiFlusso:consenti: " "$lavoro/vecchio.log" || fallito "nothing sent to the older daemon"
ctl --socket "$lavoro/fermo.sock" rispondi /usr/bin/b consenti
[ "$esito" = 4 ] || fallito "rispondi to an older daemon with no question exits $esito"
grep -q "^rispondi" "$lavoro/fermo.log" && fallito "an answer was sent with no question waiting"
passo "rispondi refuses (exit 4) when no question waits, and answers an older daemon"

# ---- without a daemon: the container's file, said once; a bad file reported, kept ----
kill -TERM "${figli[0]}"; wait "${figli[0]}"
ctl --json regole
[ "$esito" = 0 ] || fallito "regole without a daemon exits $esito"
[ "$(ordinato <"$lavoro/out")" = "$(python3 - "$OSTRALE_CONTENITORE/regole.json" <<'EOF'
import json, sys
print(json.dumps(json.load(open(sys.argv[1])), sort_keys=True))
EOF
)" ] || fallito "regole without a daemon does not show the file"
[ "$(wc -l <"$lavoro/err")" = 1 ] && grep -q "no daemon answers at .*: the rules file in $OSTRALE_CONTENITORE was read directly" \
    "$lavoro/err" || fallito "without a daemon regole says [$(cat "$lavoro/err")]"
ctl regole dominio altro.example blocca
[ "$esito" = 0 ] && grep -q "was changed directly" "$lavoro/err" ||
    fallito "an edit without a daemon: exit $esito, $(cat "$lavoro/err")"
grep -q altro.example "$OSTRALE_CONTENITORE/regole.json" || fallito "the edit is not in regole.json"
echo '{"regole": [' >"$OSTRALE_CONTENITORE/regole.json"
for argomenti in "regole" "regole app /usr/bin/x blocca" "regole esporta" "stato"; do
    # shellcheck disable=SC2086
    ctl $argomenti
    atteso=4
    [ "$argomenti" = stato ] && atteso=1
    [ "$esito" = "$atteso" ] || fallito "$argomenti with an unreadable file exits $esito, not $atteso"
    grep -q "holds no rules that can be read" "$lavoro/err" ||
        fallito "$argomenti with an unreadable file says [$(cat "$lavoro/err")]"
    grep -q "rules:" "$lavoro/out" && fallito "$argomenti shows rules it could not read"
done
[ "$(cat "$OSTRALE_CONTENITORE/regole.json")" = '{"regole": [' ] || fallito "the unreadable file was replaced"
[ -e "$OSTRALE_CONTENITORE/regole.json.illeggibile" ] && fallito "the unreadable file was put aside"
rm "$OSTRALE_CONTENITORE/regole.json"
ctl regole
[ "$esito" = 0 ] && grep -q "holds no rules file yet: no rules, the default settings" "$lavoro/err" ||
    fallito "no file yet: exit $esito, $(cat "$lavoro/err")"
OSTRALE_CONTENITORE=$lavoro/nessuno ctl regole
[ "$esito" = 1 ] && grep -q "there is no container" "$lavoro/err" ||
    fallito "no daemon, no container: exit $esito, $(cat "$lavoro/err")"
passo "without a daemon: the file read and changed with one line said, a bad file reported and kept"

verdetto_finale "where the rules are, and what is refused"
