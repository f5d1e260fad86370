#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Held flows on real traffic in namespaces made here: a never-ruled program resolves a name with
# the C library (both questions, A and AAAA, from one socket) and connects, while the daemon
# holds it for the app's answer; the headless app answers at once. Everything held is released
# with the answer, nothing waits for the resolver's own retry, and one question is asked. Once
# directly to the DNS server, once through a stub resolver on loopback.
# Usage: domande.sh ESTENSIONE OSTRALECTL OSTRALE-STATO    Exit 0 passed, 77 skipped, else failed.
set -uo pipefail
estensione=$1
ctl=$2
app=$3
qui=$(dirname "$(readlink -f "$0")")

source "$qui/../../strumenti/spazi-di-prova.sh"
serve_root_e ip iptables dnsmasq ping /usr/bin/python3
nei_propri_namespace "$0" "$@"

lavoro_di_prova domande
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
export OSTRALE_IMPOSTAZIONI=$lavoro/ostrale.conf OSTRALE_BLOCCO_APP=$lavoro/app.lock
mkdir -p "$OSTRALE_CONTENITORE" "$lavoro/bin"
mostra_fallimento() {
    echo "--- daemon log (last lines)"; tail -n 30 "$lavoro/estensione.log" 2>/dev/null
    echo "--- app"; tail -n 10 "$lavoro/app.log" 2>/dev/null
}

# ---- the network: a DNS server and a web server on the "Internet" host ----
prepara_namespace
avvia_vicino
collega_vicino 203.0.113.2/24 2001:db8::2/64 -- 203.0.113.1/24 203.0.113.53/24 2001:db8::1/64 \
    || fallito "the peer's link"
i() { nsenter --net="/proc/$vicino/ns/net" "$@"; }
i dnsmasq --no-daemon --no-resolv --no-hosts --bind-interfaces --listen-address=203.0.113.53 \
    --address=/example.test/203.0.113.1 --address=/example.test/2001:db8::1 \
    --pid-file="$lavoro/dnsmasq.pid" >/dev/null 2>&1 &
i /usr/bin/python3 -m http.server 80 --bind :: >/dev/null 2>&1 &
printf 'hosts: files dns\n' >"$lavoro/nsswitch.conf"
echo "nameserver 203.0.113.53" >"$lavoro/resolv.conf"
mount --bind "$lavoro/resolv.conf" /etc/resolv.conf && mount --bind "$lavoro/nsswitch.conf" /etc/nsswitch.conf \
    || { echo "skipped: no private resolver configuration"; exit 77; }
for _ in $(seq 300); do /usr/bin/python3 -c "import urllib.request; urllib.request.urlopen('http://203.0.113.1/', timeout=1)" 2>/dev/null && break; sleep 0.1; done

avvia_demone "$estensione" "$lavoro/estensione.log" --sorgente netfilter --verboso || fallito "the daemon did not start"
"$ctl" regole imposta chiediPrima sì >/dev/null || fallito "chiediPrima"
"$ctl" regole imposta bloccaSconosciute sì >/dev/null || fallito "bloccaSconosciute"
"$app" --gestore esterno --rispondi consenti --senza-flussi >"$lavoro/app.log" 2>&1 &
for _ in $(seq 300); do "$ctl" --json stato 2>/dev/null | grep -q '"appConnessa":true' && break; sleep 0.1; done
"$ctl" --json stato | grep -q '"appConnessa":true' || fallito "the app registers"

# A program never seen (a copy of python3 of its own name): the C library's resolver, both
# families, then a connection and a page. Prints how long it all took, in ms.
prova() {
    local nome=$1
    cp "$(readlink -f /usr/bin/python3)" "$lavoro/bin/$nome"
    "$lavoro/bin/$nome" - <<'PY'
import socket, time
inizio = time.monotonic()
indirizzi = socket.getaddrinfo("sito.example.test", 80, socket.AF_UNSPEC, socket.SOCK_STREAM)
famiglia, tipo, proto, _, dove = next(a for a in indirizzi if a[0] == socket.AF_INET)
s = socket.socket(famiglia, tipo, proto)
s.settimeout(20)
s.connect(dove)
s.sendall(b"GET / HTTP/1.0\r\nHost: sito.example.test\r\n\r\n")
assert s.recv(100).startswith(b"HTTP/")
print(round((time.monotonic() - inizio) * 1000))
PY
}
domande() { grep -c "connessione sospesa: $lavoro/bin/$1 " "$lavoro/app.log"; }

# ---- straight to the DNS server ----
ms=$(prova diretto) || fallito "the held program resolves and connects"
# The resolver waits 5 s before it asks again: anything near that is a question left held.
[ "$ms" -lt 2500 ] || fallito "everything held is released with the answer (it took $ms ms)"
[ "$(domande diretto)" = 1 ] || fallito "one question for the program (asked $(domande diretto))"
passo "a held lookup and connection released with the answer in $ms ms, one question"

# ---- through a stub resolver on loopback ----
dnsmasq --no-daemon --no-resolv --no-hosts --bind-interfaces --listen-address=127.0.0.53 \
    --server=203.0.113.53 --pid-file="$lavoro/stub.pid" >/dev/null 2>&1 &
echo "nameserver 127.0.0.53" >"$lavoro/resolv.conf"
for _ in $(seq 300); do [ -s "$lavoro/stub.pid" ] && break; sleep 0.1; done
ms=$(prova stub) || fallito "the held program resolves through the stub and connects"
[ "$ms" -lt 2500 ] || fallito "released with the answer through the stub (it took $ms ms)"
[ "$(domande stub)" = 1 ] || fallito "one question through the stub (asked $(domande stub))"
passo "through a stub on loopback: released in $ms ms, one question"
echo "all question checks passed"
