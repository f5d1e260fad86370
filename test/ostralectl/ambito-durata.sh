#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Rules narrowed to an application and a port, and rules that last a while, with ostralectl
# through a running daemon (the simulated one: no root needed), then with none: stored with
# their fields, listed with their scope and what is left of them, made permanent and removed by
# their exact scope beside a plain rule of the same domain; bad values refused before anything
# is sent; answers for the waiting flows only or for one host, given while they wait.
# Usage: ambito-durata.sh ESTENSIONE OSTRALECTL    Exit 0 passed, else failed.
set -uo pipefail
estensione=$1
ctl=$2
canale="$(dirname "$0")/canale.py"

lavoro=$(mktemp -d /tmp/ostrale-ambito-XXXXXX)
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock LC_ALL=C.UTF-8
# No active session: the one app registered is asked.
export OSTRALE_SEDE=$lavoro/nessuna-sede
mkdir -p "$OSTRALE_CONTENITORE"
demone=""
app=""
fine() {
    [ -n "$app" ] && kill -TERM "$app" 2>/dev/null && wait "$app" 2>/dev/null
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
# The domain rules of negozio.example in FILE (the daemon's answer or regole.json), one line
# each: "firmaApp porta azione durata" with "-" for what is absent; durata is "riavvio" for the
# current boot, else the seconds left, rounded to minutes.
domini() {
    python3 - "$1" <<'EOF'
import json, sys, time
stato = json.load(open(sys.argv[1]))
avvio = open("/proc/sys/kernel/random/boot_id").read().strip()
for r in stato["regoleDominio"]:
    if r["dominio"] != "negozio.example":
        continue
    durata = "-"
    if "scadenza" in r:
        # Seconds from 2001-01-01 UTC.
        durata = str(round((r["scadenza"] + 978307200 - time.time()) / 60) * 60)
    elif "avvio" in r:
        durata = "riavvio" if r["avvio"] == avvio else "altro-avvio"
    print(r.get("firmaApp", "-"), r.get("porta", "-"), r["azione"], durata)
EOF
}
daemon_domini() {
    "$ctl" --json regole >"$lavoro/regole.json" 2>/dev/null || fallito "ostralectl --json regole"
    domini "$lavoro/regole.json"
}
file_domini() { domini "$OSTRALE_CONTENITORE/regole.json"; }

"$estensione" --sorgente simulata --velocita 0.1 >"$lavoro/estensione.log" 2>&1 &
demone=$!
for _ in $(seq 300); do "$ctl" stato >/dev/null 2>&1 && break; sleep 0.1; done
"$ctl" stato >/dev/null 2>&1 || fallito "the daemon answers"

# ---- a narrowed rule for an hour, before a plain one of the same domain ----
ctl regole dominio https://Negozio.example/ consenti --per 1h --porta 443 --app /usr/bin/curl
[ "$esito" = 0 ] || fallito "the narrowed rule: exit $esito"
ctl regole dominio negozio.example blocca
[ "$esito" = 0 ] || fallito "the plain rule: exit $esito"
atteso=$'/usr/bin/curl 443 consenti 3600\n- - blocca -'
[ "$(daemon_domini)" = "$atteso" ] || fallito "the daemon holds [$(daemon_domini)], not [$atteso]"
[ "$(file_domini)" = "$atteso" ] || fallito "regole.json holds [$(file_domini)], not [$atteso]"
grep -qE "^allow +yes +for (1 h|59 min) more +negozio\.example port 443 for /usr/bin/curl$" \
    "$lavoro/out" || fallito "the listing: $(cat "$lavoro/out")"
grep -qE "^block +yes +permanent +negozio\.example$" "$lavoro/out" ||
    fallito "the plain rule's line: $(cat "$lavoro/out")"
ctl regole app /usr/bin/git blocca --per riavvio --fascia 22:00-07:00
grep -qE "^block +yes +22:00-07:00 +until restart +/usr/bin/git$" "$lavoro/out" ||
    fallito "an application rule until restart: $(cat "$lavoro/out")"
"$ctl" --json regole | python3 -c '
import json, sys
r = [r for r in json.load(sys.stdin)["regole"] if r["firmaApp"] == "/usr/bin/git"][0]
assert r["avvio"] == open("/proc/sys/kernel/random/boot_id").read().strip(), r
assert r["fascia"] == {"inizio": 1320, "fine": 420} and "scadenza" not in r, r
' || fallito "git's rule lasts until restart, with its window"
passo "stored with their scope and duration, listed with what is left of them"

# ---- made permanent, by its exact scope ----
prima=$(cat "$OSTRALE_CONTENITORE/regole.json")
ctl regole permanente dominio negozio.example --app /usr/bin/curl
[ "$esito" = 2 ] || fallito "permanente of a scope without a rule exits $esito, not 2"
grep -qF "no rule for 'negozio.example for /usr/bin/curl' (there are: negozio.example port 443 for /usr/bin/curl; negozio.example;" \
    "$lavoro/err" || fallito "the missing scope is not explained"
[ "$(cat "$OSTRALE_CONTENITORE/regole.json")" = "$prima" ] || fallito "a missing scope changed the rules"
ctl regole permanente dominio negozio.example --porta 443 --app /usr/bin/curl
[ "$esito" = 0 ] || fallito "permanente exits $esito"
atteso=$'/usr/bin/curl 443 consenti -\n- - blocca -'
[ "$(daemon_domini)" = "$atteso" ] || fallito "after permanente [$(daemon_domini)], not [$atteso]"
ctl regole permanente dominio negozio.example --porta 443 --app /usr/bin/curl
grep -q "nothing to change" "$lavoro/err" || fallito "a permanent rule made permanent again"
ctl regole permanente app /usr/bin/git
"$ctl" --json regole | grep -q '"avvio"' && fallito "git's rule still lasts until restart"
passo "made permanent by the exact scope; another scope of the domain is not taken for it"

# ---- removed by the exact scope: the plain rule comes after the narrowed one ----
ctl regole rimuovi dominio negozio.example
[ "$esito" = 0 ] || fallito "rimuovi of the plain rule exits $esito"
[ "$(daemon_domini)" = "/usr/bin/curl 443 consenti -" ] ||
    fallito "rimuovi without options left [$(daemon_domini)]"
ctl regole dominio negozio.example blocca --per 15m
ctl regole rimuovi dominio negozio.example --app /usr/bin/curl --porta 443
[ "$esito" = 0 ] || fallito "rimuovi of the narrowed rule exits $esito"
[ "$(daemon_domini)" = "- - blocca 900" ] || fallito "rimuovi with options left [$(daemon_domini)]"
ctl regole rimuovi dominio negozio.example --porta 443
[ "$esito" = 2 ] || fallito "rimuovi of a removed scope exits $esito, not 2"
passo "removed by the exact scope, the other rule of the domain stays"

# ---- bad values: refused here, nothing sent ----
prima=$(cat "$OSTRALE_CONTENITORE/regole.json")
# Each case is the options, split into words, then '|' and the message.
# shellcheck disable=SC2089,SC2090
for caso in "--porta 0|--porta wants a number from 1 to 65535, not '0'" \
    "--porta 65536|not '65536'" "--porta 44x|not '44x'" "--porta -1|not '-1'" \
    "--per 3x|--per wants 15m, 1h, 12h, riavvio" "--per 0m|not '0m'" "--per|--per wants a value" \
    "--app|--app wants a value" "--porta 1 --porta 2|--porta is given twice" \
    "--fascia 09:00-18:00|unexpected '--fascia'"; do
    # shellcheck disable=SC2086
    ctl regole dominio altro.example blocca ${caso%%|*}
    [ "$esito" = 2 ] || fallito "dominio ${caso%%|*}: exit $esito, not 2"
    grep -qF -- "${caso#*|}" "$lavoro/err" || fallito "dominio ${caso%%|*}: $(head -1 "$lavoro/err")"
    [ ! -s "$lavoro/out" ] || fallito "dominio ${caso%%|*} printed rules"
done
for argomenti in "app /usr/bin/curl blocca --per 1y" \
    "app /usr/bin/curl blocca --fascia 09:00-18:00 --senza-fascia" \
    "app /usr/bin/curl blocca --porta 443" "permanente dominio negozio.example --per 1h" \
    "rimuovi dominio negozio.example --porta 0" "permanente app /usr/bin/curl --app x"; do
    # shellcheck disable=SC2086
    ctl regole $argomenti
    [ "$esito" = 2 ] || fallito "regole $argomenti: exit $esito, not 2"
done
for argomenti in "--porta 443" "--dominio negozio.example --porta 0" "--dominio" "--per 1h" \
    "--una-volta --una-volta"; do
    # shellcheck disable=SC2086
    ctl rispondi /usr/bin/curl consenti $argomenti
    [ "$esito" = 2 ] || fallito "rispondi $argomenti: exit $esito, not 2"
done
[ "$(cat "$OSTRALE_CONTENITORE/regole.json")" = "$prima" ] || fallito "a refused command changed the rules"
passo "bad ports, durations and options refused with the reason, nothing changed"

# ---- answers for the waiting flows only, or for one host ----
# A busier daemon and an app that never answers: applications wait for an answer.
kill -TERM "$demone"; wait "$demone"
"$estensione" --sorgente simulata --velocita 20 >>"$lavoro/estensione.log" 2>&1 &
demone=$!
for _ in $(seq 300); do "$ctl" stato >/dev/null 2>&1 && break; sleep 0.1; done
python3 "$canale" "$OSTRALE_SOCKET" app "$lavoro/domande" &
app=$!
"$ctl" regole imposta chiediPrima sì >/dev/null && "$ctl" regole imposta bloccaSconosciute sì \
    >/dev/null || fallito "the settings that make questions"
# The first application waiting for an answer, within 10 s.
in_attesa() {
    local firma
    for _ in $(seq 100); do
        firma=$(python3 "$canale" "$OSTRALE_SOCKET" chiama informazioni: |
            python3 -c 'import json, sys; print((json.load(sys.stdin).get("appInAttesa") or [""])[0])')
        [ -n "$firma" ] && { echo "$firma"; return; }
        sleep 0.1
    done
    fallito "no application waits for an answer"
}
for argomenti in "blocca --una-volta" "consenti --dominio negozio.example --porta 443" \
    "consenti --porta 8443 --una-volta --dominio negozio.example" "blocca"; do
    firma=$(in_attesa)
    # shellcheck disable=SC2086
    ctl rispondi "$firma" $argomenti
    [ "$esito" = 0 ] || fallito "rispondi $firma $argomenti exits $esito"
    [ -s "$lavoro/err" ] && fallito "rispondi $firma $argomenti complains"
done
"$ctl" stato >/dev/null 2>&1 || fallito "the daemon no longer answers after the answers"
# What goes over the socket, where strace may watch: with options the answer that says for what.
if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
    traccia() { # EXPECTED ARGUMENTS...
        local atteso=$1
        shift
        strace -f -e trace=sendmsg,sendto,write -s 400 -o "$lavoro/traccia" "$ctl" rispondi "$@" \
            >/dev/null 2>&1
        grep -qF -- "$atteso" "$lavoro/traccia" ||
            fallito "rispondi $* sends $(grep -o 'rispondi[A-Za-z]*:.\{0,120\}' "$lavoro/traccia")"
    }
    firma=$(in_attesa)
    traccia "rispondiSospesi:{\\\"firma\\\":\\\"$firma\\\",\\\"consenti\\\":false,\\\"unaVolta\\\":true}" \
        "$firma" blocca --una-volta
    firma=$(in_attesa)
    traccia '\"consenti\":true,\"unaVolta\":false,\"dominio\":\"negozio.example\",\"porta\":443}' \
        "$firma" consenti --porta 443 --dominio https://www.Negozio.example/
    firma=$(in_attesa)
    traccia "rispondiFlusso:consenti:" "$firma" consenti
else
    echo "not checked: strace cannot watch what rispondi sends"
fi
passo "rispondi with --una-volta, --dominio and --porta accepted and sent as the answer for them"
kill -TERM "$app"; wait "$app" 2>/dev/null; app=""

# ---- without a daemon: the container's file, the same way ----
kill -TERM "$demone"; wait "$demone"; demone=""
ctl regole dominio negozio.example consenti --app org.example.App --porta 8080 --per 12h
[ "$esito" = 0 ] || fallito "a narrowed rule without a daemon exits $esito"
atteso=$'- - blocca 900\norg.example.App 8080 consenti 43200'
[ "$(file_domini)" = "$atteso" ] || fallito "regole.json holds [$(file_domini)], not [$atteso]"
ctl regole rimuovi dominio negozio.example
[ "$(file_domini)" = "org.example.App 8080 consenti 43200" ] ||
    fallito "rimuovi without a daemon left [$(file_domini)]"
ctl rispondi /usr/bin/curl consenti --una-volta
[ "$esito" = 1 ] || fallito "rispondi without a daemon exits $esito, not 1"
passo "without a daemon, the container's rules file, the same way"
echo "scopes and durations: all passed"
