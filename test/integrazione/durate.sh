#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Rules that last a while and rules narrowed to a host and a port, on real traffic in namespaces
# made here, with the real netfilter back end and real name lookups: a program allowed to one
# host only reaches that host and not another, nor another port of it; a rule of three seconds
# lets a program through, then refuses it and is gone from the stored rules; a rule of an
# earlier boot never applies; an answer for this time only releases the waiting connection and
# the next one asks again; an answer for one host releases that host's connection and asks again
# about the other.
# Usage: durate.sh ESTENSIONE OSTRALECTL OSTRALE-STATO    Exit 0 passed, 77 skipped, else failed.
set -uo pipefail
estensione=$1
ctl=$2
app=$3
qui=$(dirname "$(readlink -f "$0")")

source "$qui/../../strumenti/spazi-di-prova.sh"
serve_root_e ip iptables dnsmasq curl /usr/bin/python3
nei_propri_namespace "$0" "$@"

lavoro_di_prova durate
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
export OSTRALE_IMPOSTAZIONI=$lavoro/ostrale.conf OSTRALE_BLOCCO_APP=$lavoro/app.lock
mkdir -p "$OSTRALE_CONTENITORE" "$lavoro/bin"
mostra_fallimento() {
    echo "--- daemon log (last lines)"; tail -n 30 "$lavoro/estensione.log" 2>/dev/null
    echo "--- app"; tail -n 10 "$lavoro/app.log" 2>/dev/null
    echo "--- rules"; cat "$OSTRALE_CONTENITORE/regole.json" 2>/dev/null; echo
}
# Polls a condition (a command) every tenth of a second for at most $1 seconds.
entro() {
    local secondi=$1
    shift
    for _ in $(seq $((secondi * 10))); do "$@" && return 0; sleep 0.1; done
    "$@"
}

# ---- the network: a DNS server and two web servers on the "Internet" host ----
prepara_namespace
avvia_vicino
collega_vicino 203.0.113.2/24 -- 203.0.113.1/24 203.0.113.3/24 203.0.113.53/24 \
    || fallito "the peer's link"
i() { nsenter --net="/proc/$vicino/ns/net" "$@"; }
i dnsmasq --no-daemon --no-resolv --no-hosts --bind-interfaces --listen-address=203.0.113.53 \
    --address=/a.example.test/203.0.113.1 --address=/b.example.test/203.0.113.3 \
    --pid-file="$lavoro/dnsmasq.pid" >/dev/null 2>&1 &
i /usr/bin/python3 -m http.server 80 --bind 0.0.0.0 >/dev/null 2>&1 &
i /usr/bin/python3 -m http.server 8080 --bind 0.0.0.0 >/dev/null 2>&1 &
# Lookups go through a stub on loopback (allowed by a rule below): the programs' own flows are
# then their connections only.
dnsmasq --no-daemon --no-resolv --no-hosts --bind-interfaces --listen-address=127.0.0.53 \
    --server=203.0.113.53 --pid-file="$lavoro/stub.pid" >/dev/null 2>&1 &
printf 'hosts: files dns\n' >"$lavoro/nsswitch.conf"
echo "nameserver 127.0.0.53" >"$lavoro/resolv.conf"
mount --bind "$lavoro/resolv.conf" /etc/resolv.conf && mount --bind "$lavoro/nsswitch.conf" /etc/nsswitch.conf \
    || { echo "skipped: no private resolver configuration"; exit 77; }
entro 30 curl -s -o /dev/null http://b.example.test:8080/ || fallito "the web servers and the names"

# Programs of their own names (copies of curl): HTTP status of one page, 000 when refused.
for p in ristretto tempo ieri unavolta dueposti; do cp "$(readlink -f "$(command -v curl)")" "$lavoro/bin/$p"; done
pagina() { "$lavoro/bin/$1" -s -o /dev/null -m "${3:-4}" -w '%{http_code}' "$2" 2>/dev/null; }
ottiene() { [ "$(pagina "$@")" = 200 ]; }
nel_file() { grep -q -- "$1" "$OSTRALE_CONTENITORE/regole.json"; }
non_nel_file() { ! nel_file "$1"; }

# Unknown applications blocked, the stub allowed, and a rule made under a boot that is over.
cat >"$OSTRALE_CONTENITORE/regole.json" <<EOF
{"regole":[{"id":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","firmaApp":"$lavoro/bin/ieri","nomeApp":"ieri","azione":"consenti","attiva":true,"avvio":"00000000-0000-4000-8000-000000000000"},
{"id":"6BA7B810-9DAD-11D1-80B4-00C04FD430C9","firmaApp":"$(readlink -f "$(command -v dnsmasq)")","nomeApp":"dnsmasq","azione":"consenti","attiva":true}],"regoleDominio":[],"impostazioni":{"bloccaSconosciute":true}}
EOF
avvia_demone "$estensione" "$lavoro/estensione.log" --sorgente netfilter --verboso || fallito "the daemon did not start"

# ---- a rule of an earlier boot ----
! ottiene ieri http://a.example.test/ 2 || fallito "a rule of an earlier boot let the program through"
entro 5 non_nel_file "$lavoro/bin/ieri" || fallito "the earlier boot's rule stays stored"
passo "a rule of an earlier boot does not apply and is removed"

# ---- narrowed to a host, then to a port ----
"$ctl" regole dominio a.example.test consenti --app "$lavoro/bin/ristretto" >/dev/null || fallito "the narrowed rule"
ottiene ristretto http://a.example.test/ || fallito "the program reaches its host"
! ottiene ristretto http://b.example.test/ 2 || fallito "the program reached another host"
"$ctl" regole dominio a.example.test blocca --app "$lavoro/bin/ristretto" --porta 8080 >/dev/null \
    || fallito "the rule of a port"
! ottiene ristretto http://a.example.test:8080/ 2 || fallito "the program reached the port ruled out"
ottiene ristretto http://a.example.test/ || fallito "the program lost its host's other port"
passo "a rule for one host lets that host through and refuses another host and a port ruled out"

# ---- three seconds ----
"$ctl" regole app "$lavoro/bin/tempo" consenti --per 3s >/dev/null || fallito "the rule of three seconds"
ottiene tempo http://b.example.test/ || fallito "the temporary rule lets the program through"
nel_file "$lavoro/bin/tempo" || fallito "the temporary rule is stored"
entro 20 eval '! ottiene tempo http://b.example.test/ 1' || fallito "the ended rule still applies"
entro 60 non_nel_file "$lavoro/bin/tempo" || fallito "the ended rule stays stored after a minute"
passo "a rule of three seconds applies, then refuses, and is gone from the stored rules"

# ---- answers: this time only, then for one host ----
"$ctl" regole imposta chiediPrima sì >/dev/null || fallito "chiediPrima"
"$app" --gestore esterno --rispondi mai --senza-flussi >"$lavoro/app.log" 2>&1 &
entro 30 eval '"$ctl" --json stato 2>/dev/null | grep -q "\"appConnessa\":true"' || fallito "the app registers"
domande() { grep -c "connessione sospesa: $lavoro/bin/$1 .*$2" "$lavoro/app.log"; }
chiesto() { [ "$(domande "$@")" -ge "$3" ]; }

pagina unavolta http://a.example.test/ 30 >"$lavoro/uno" &
entro 20 chiesto unavolta a.example.test 1 || fallito "the first connection is asked about"
"$ctl" rispondi "$lavoro/bin/unavolta" consenti --una-volta || fallito "the answer for this time"
wait $! ; [ "$(cat "$lavoro/uno")" = 200 ] || fallito "the waiting connection released ($(cat "$lavoro/uno"))"
pagina unavolta http://a.example.test/ 30 >"$lavoro/due" &
entro 20 chiesto unavolta a.example.test 2 || fallito "the next connection asks again"
"$ctl" rispondi "$lavoro/bin/unavolta" blocca --una-volta || fallito "the second answer"
wait $!
[ "$(cat "$lavoro/due")" != 200 ] || fallito "a refused connection got through"
non_nel_file "$lavoro/bin/unavolta" || fallito "an answer for this time made a rule"
passo "this time only: released, no rule, the next connection asks again"

pagina dueposti http://a.example.test/ 30 >"$lavoro/a" &
pa=$!
entro 20 chiesto dueposti a.example.test 1 || fallito "the first host is asked about"
pagina dueposti http://b.example.test/ 30 >"$lavoro/b" &
pb=$!
"$ctl" rispondi "$lavoro/bin/dueposti" consenti --dominio a.example.test || fallito "the answer for one host"
wait $pa; [ "$(cat "$lavoro/a")" = 200 ] || fallito "the host answered for is released ($(cat "$lavoro/a"))"
entro 20 chiesto dueposti b.example.test 1 || fallito "the other host is asked about again"
"$ctl" rispondi "$lavoro/bin/dueposti" blocca --una-volta || fallito "the answer for the other host"
wait $pb; [ "$(cat "$lavoro/b")" != 200 ] || fallito "the other host got through"
passo "an answer for one host releases it and asks again about the other"
echo "all duration and scope checks passed"
