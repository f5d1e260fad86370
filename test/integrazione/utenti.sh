#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Two desktop users at once, on real traffic in namespaces made here: the app of each (users 1001
# and 1002 of a group "ostrale" of this test's own) registers beside the other's; a held flow of
# a user's program is asked of that user's app only, and gets that app's answer; a system
# process's flow is asked of the app of the active session (logind's seat file, a copy of this
# test's), and of nobody when that session's user runs no app; an app is sent the flows of its
# own user and of the system, not another user's.
# Usage: utenti.sh ESTENSIONE OSTRALECTL OSTRALE-STATO    Exit 0 passed, 77 skipped, else failed.
set -uo pipefail
estensione=$1
ctl=$2
app=$3
qui=$(dirname "$(readlink -f "$0")")

source "$qui/../../strumenti/spazi-di-prova.sh"
serve_root_e ip iptables curl setpriv /usr/bin/python3
nei_propri_namespace "$0" "$@"

lavoro_di_prova utenti
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/run/ostrale.sock
export OSTRALE_SEDE=$lavoro/seat0
mkdir -p "$OSTRALE_CONTENITORE" "$lavoro/bin" "$lavoro/run"
mostra_fallimento() {
    echo "--- daemon log (last lines)"; tail -n 30 "$lavoro/estensione.log" 2>/dev/null
    for u in 1001 1002; do echo "--- app of $u"; tail -n 15 "$lavoro/app$u.log" 2>/dev/null; done
}
entro() {
    local secondi=$1
    shift
    for _ in $(seq $((secondi * 10))); do "$@" && return 0; sleep 0.1; done
    "$@"
}

# A group "ostrale" of the test's own, seen in this mount namespace only.
cp /etc/group "$lavoro/group"
grep -q '^ostrale:' "$lavoro/group" || echo "ostrale:x:4242:" >>"$lavoro/group"
gid=$(awk -F: '$1 == "ostrale" { print $3 }' "$lavoro/group")
mount --bind "$lavoro/group" /etc/group || { echo "skipped: no private /etc/group"; exit 77; }
come() {
    local u=$1
    shift
    setpriv --reuid="$u" --regid="$gid" --clear-groups -- "$@"
}

prepara_namespace
avvia_vicino
collega_vicino 203.0.113.2/24 -- 203.0.113.1/24 || fallito "the peer's link"
i() { nsenter --net="/proc/$vicino/ns/net" "$@"; }
i /usr/bin/python3 -m http.server 80 --bind 0.0.0.0 >/dev/null 2>&1 &
entro 30 curl -s -o /dev/null http://203.0.113.1/ || fallito "the web server"

for p in prova sistema1 sistema2 sistema3 privato comune; do cp "$(readlink -f "$(command -v curl)")" "$lavoro/bin/$p"; done
chmod 755 "$lavoro/bin"/*
# HTTP status of one page (000 when refused), as the user given (0: root, the system).
pagina() {
    local u=$1 p=$2
    if [ "$u" = 0 ]; then
        "$lavoro/bin/$p" -s -o /dev/null -m 20 -w '%{http_code}' http://203.0.113.1/ 2>/dev/null
    else
        come "$u" "$lavoro/bin/$p" -s -o /dev/null -m 20 -w '%{http_code}' http://203.0.113.1/ 2>/dev/null
    fi
}
domande() { grep -c "connessione sospesa: $lavoro/bin/$2 " "$lavoro/app$1.log"; }
visto() { grep -Eq "$2 +$lavoro/bin/$3 " "$lavoro/app$1.log"; }

echo "ACTIVE_UID=1001" >"$OSTRALE_SEDE"
avvia_demone "$estensione" "$lavoro/estensione.log" --sorgente netfilter --verboso || fallito "the daemon did not start"
"$ctl" regole imposta chiediPrima sì >/dev/null || fallito "chiediPrima"
"$ctl" regole imposta bloccaSconosciute sì >/dev/null || fallito "bloccaSconosciute"

# ---- two apps, one per user ----
avvia_app() {
    local u=$1 risposta=$2
    mkdir -p "$lavoro/u$u" && chown "$u:$gid" "$lavoro/u$u"
    come "$u" env HOME="$lavoro/u$u" XDG_RUNTIME_DIR="$lavoro/u$u" \
        OSTRALE_IMPOSTAZIONI="$lavoro/u$u/ostrale.conf" OSTRALE_BLOCCO_APP="$lavoro/u$u/app.lock" \
        "$app" --gestore esterno --rispondi "$risposta" >"$lavoro/app$u.log" 2>&1 &
}
avvia_app 1001 consenti
avvia_app 1002 blocca
for u in 1001 1002; do
    entro 30 grep -q "registrata presso l'estensione" "$lavoro/app$u.log" || fallito "the app of $u registers"
done
# (A displaced app would show below too: each user's question must still reach its own app.)
for u in 1001 1002; do
    ! grep -q "refused\|rifiut" "$lavoro/app$u.log" || fallito "the app of $u was refused or displaced"
done
passo "two users' apps registered side by side"

# ---- a user's flow asks that user's app ----
[ "$(pagina 1001 prova)" = 200 ] || fallito "user 1001's program gets its app's answer (allow)"
[ "$(domande 1001 prova)" = 1 ] && [ "$(domande 1002 prova)" = 0 ] \
    || fallito "1001's flow asked of 1001's app only ($(domande 1001 prova)/$(domande 1002 prova))"
# The answer made a rule, which would decide for everybody: taken away before the other user.
entro 10 eval '"$ctl" --json regole | grep -q "$lavoro/bin/prova"' || fallito "the answer's rule"
"$ctl" regole rimuovi app "$lavoro/bin/prova" >/dev/null || fallito "removing the answer's rule"
[ "$(pagina 1002 prova)" != 200 ] || fallito "user 1002's program gets its app's answer (block)"
[ "$(domande 1002 prova)" = 1 ] && [ "$(domande 1001 prova)" = 1 ] \
    || fallito "1002's flow asked of 1002's app only ($(domande 1001 prova)/$(domande 1002 prova))"
"$ctl" regole rimuovi app "$lavoro/bin/prova" >/dev/null 2>&1
passo "each user's program held and answered by its own user's app"

# ---- a system process asks the active session's app ----
[ "$(pagina 0 sistema1)" = 200 ] || fallito "a system flow allowed by the active session's app"
[ "$(domande 1001 sistema1)" = 1 ] && [ "$(domande 1002 sistema1)" = 0 ] || fallito "the system flow asked of 1001's app"
echo "ACTIVE_UID=1002" >"$OSTRALE_SEDE"
[ "$(pagina 0 sistema2)" != 200 ] || fallito "a system flow blocked by the new active session's app"
[ "$(domande 1002 sistema2)" = 1 ] && [ "$(domande 1001 sistema2)" = 0 ] || fallito "the system flow asked of 1002's app"
echo "ACTIVE_UID=1003" >"$OSTRALE_SEDE"
inizio=$(date +%s)
[ "$(pagina 0 sistema3)" != 200 ] || fallito "a system flow with nobody to ask follows the default"
[ $(($(date +%s) - inizio)) -lt 15 ] || fallito "a system flow with nobody to ask was held"
[ "$(domande 1001 sistema3)" = 0 ] && [ "$(domande 1002 sistema3)" = 0 ] || fallito "nobody is asked for a user without an app"
passo "system flows go to the active session's app, and to nobody when it has none"

# ---- an app sees its own user's flows and the system's ----
"$ctl" regole imposta chiediPrima no >/dev/null || fallito "chiediPrima off"
[ "$(pagina 1002 privato)" != 200 ] || fallito "1002's unknown program blocked"
[ "$(pagina 0 comune)" != 200 ] || fallito "the system's unknown program blocked"
entro 20 visto 1002 blocca privato || fallito "1002's app sees its user's flow"
for u in 1001 1002; do entro 20 visto $u blocca comune || fallito "the app of $u sees the system's flow"; done
! visto 1001 blocca privato || fallito "1001's app was sent 1002's flow"
passo "an app is sent its own user's flows and the system's, never another user's"
echo "all user checks passed"
