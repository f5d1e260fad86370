#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How the daemon names flows, on real traffic in a small network of namespaces made here: names
# resolved by each application (two names on one address), names read from a connection's
# first data when DNS gave none or several (TLS ClientHello, QUIC Initial, HTTP Host), flows
# without ports (ping) judged by their address, and a DNS tunnel through a local resolver.
# Documentation addresses only; nothing leaves the namespaces.
# Usage: nomi.sh ESTENSIONE OSTRALECTL    Exit 0 passed, 77 skipped, anything else failed.
set -uo pipefail
estensione=$1
ctl=$2
qui=$(dirname "$(readlink -f "$0")")

source "$qui/../../strumenti/spazi-di-prova.sh"
serve_root_e ip iptables curl dnsmasq dig ping openssl iodine iodined /usr/bin/python3
/usr/bin/python3 -c "import cryptography" 2>/dev/null || { echo "nomi.sh: skipped, no python3-cryptography"; exit 77; }
nei_propri_namespace "$0" "$@"

lavoro_di_prova nomi
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
export OSTRALE_DEBUG=1
mkdir -p "$OSTRALE_CONTENITORE" "$lavoro/bin"
mostra_fallimento() {
    echo "--- daemon log (last lines)"; tail -n 30 "$lavoro/estensione.log" 2>/dev/null
    echo "--- TLS server"; cat "$lavoro/tls.log" 2>/dev/null
}

# ---- the network ----
prepara_namespace
avvia_vicino
internet=$vicino
ip link add veth-p type veth peer name veth-i netns "$internet"
ip addr add 203.0.113.2/24 dev veth-p
ip addr add 192.168.77.2/24 dev veth-p
ip link set veth-p up
echo "nameserver 203.0.113.53" >"$lavoro/resolv.conf"
printf 'hosts: files dns\n' >"$lavoro/nsswitch.conf"
mount --bind "$lavoro/resolv.conf" /etc/resolv.conf && mount --bind "$lavoro/nsswitch.conf" /etc/nsswitch.conf \
    || { echo "skipped: no private resolver configuration"; exit 77; }
i() { nsenter --net="/proc/$internet/ns/net" "$@"; }
i ip link set lo up
for a in 1 44 45 53 54 66; do i ip addr add "203.0.113.$a/24" dev veth-i; done
i ip addr add 192.168.77.1/24 dev veth-i
i ip link set veth-i up
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
    -subj /CN=example.test -keyout "$lavoro/chiave.pem" -out "$lavoro/cert.pem" 2>/dev/null \
    || fallito "a test certificate"
: >"$lavoro/tls.log"
i /usr/bin/python3 "$qui/server-tls.py" "$lavoro/cert.pem" "$lavoro/chiave.pem" "$lavoro/tls.log" &
i /usr/bin/python3 -m http.server 80 --bind 0.0.0.0 >/dev/null 2>&1 &
i dnsmasq --no-daemon --no-resolv --no-hosts --bind-interfaces --listen-address=203.0.113.53 \
    --address=/example.test/203.0.113.1 --server=/t.example.test/203.0.113.54 \
    --pid-file="$lavoro/dnsmasq.pid" >/dev/null 2>&1 &
for _ in $(seq 50); do curl -s -o /dev/null -m 1 http://203.0.113.1/ && break; sleep 0.1; done

regole() { "$ctl" regole "$@" >/dev/null 2>&1 || [ $? = 1 ] || fallito "ostralectl regole $*"; }
avvia() {
    avvia_demone "$estensione" "$lavoro/estensione.log" --sorgente netfilter --verboso || fallito "the daemon did not start"
}
raggiunge() { curl -s -o /dev/null -m 5 "$@"; }
rifiutato_subito() {
    local inizio fine
    inizio=$(date +%s%N)
    raggiunge "$@" && return 1
    fine=$(date +%s%N)
    [ $(((fine - inizio) / 1000000)) -lt 1000 ]
}
evento() { # the newest event with both texts (the second defaults to the first)
    "$ctl" --json flussi | tr '}' '\n' | grep -F "$1" | grep -F "${2:-$1}" | tail -n 1
}
# Whether the newest event with the first texts matches the last, waiting up to 5 s for it to
# be recorded (a verdict's bookkeeping may come a moment after the verdict).
ha_evento() {
    local atteso=${!#}
    for _ in $(seq 300); do evento "${@:1:$#-1}" | grep -q -- "$atteso" && return 0; sleep 0.1; done
    return 1
}

regole dominio traccia.example.test blocca
regole dominio vietato.example.test blocca
avvia

# ---- two names on one address ----
# python3 resolves one name and waits; meanwhile dig resolves another name of the same address,
# blocked by a domain rule. python3's visit is its own name's.
/usr/bin/python3 - "$lavoro" >"$lavoro/sito.out" 2>&1 <<'PY' &
import os, socket, sys, time
indirizzo = socket.getaddrinfo("sito.example.test", 80, socket.AF_INET, socket.SOCK_STREAM)[0][4][0]
open(sys.argv[1] + "/risolto", "w").write(indirizzo)
for _ in range(200):
    if os.path.exists(sys.argv[1] + "/vai"):
        break
    time.sleep(0.05)
c = socket.create_connection((indirizzo, 80), timeout=5)
c.sendall(b"GET / HTTP/1.0\r\nHost: sito.example.test\r\n\r\n")
print(c.recv(12))
PY
sito=$!
for _ in $(seq 100); do [ -s "$lavoro/risolto" ] && break; sleep 0.05; done
[ "$(cat "$lavoro/risolto" 2>/dev/null)" = 203.0.113.1 ] || fallito "python3 resolves sito.example.test"
[ "$(dig +short +time=2 +tries=1 traccia.example.test A)" = 203.0.113.1 ] || fallito "dig resolves traccia.example.test"
touch "$lavoro/vai"
wait "$sito" || fallito "python3 reaches its own name on the shared address: $(cat "$lavoro/sito.out")"
ha_evento '"host":"sito.example.test"' '"consentito":true' || fallito "python3's flow is named sito.example.test"
grep -q "Flow to 203.0.113.1 port 80: sito.example.test (dns-app)" "$lavoro/estensione.log" \
    || fallito "the name's source is logged (dns-app)"
# A program that resolved nothing takes the machine's latest answer, as before.
rifiutato_subito http://203.0.113.1/ || fallito "curl, which resolved nothing, gets the latest name"
ha_evento '"firmaApp":"/usr/bin/curl"' '"host":"traccia.example.test"' || fallito "curl's flow is named traccia.example.test"
passo "each application's own names on a shared address"

# ---- names from the first data ----
rifiutato_subito -k --resolve www.vietato.example.test:443:203.0.113.44 https://www.vietato.example.test/ \
    || fallito "TLS to a blocked name, on an address without a name, refused at once"
ha_evento '"host":"www.vietato.example.test"' '"motivo":"dominio"' || fallito "the refusal names the TLS server"
for _ in $(seq 20); do grep -q reset "$lavoro/tls.log" && break; sleep 0.1; done
grep -q reset "$lavoro/tls.log" || fallito "the server's end of the refused connection is reset"
raggiunge -k --resolve www.permesso.example.test:443:203.0.113.44 https://www.permesso.example.test/ \
    || fallito "TLS to another name passes"
ha_evento '"host":"www.permesso.example.test"' '"consentito":true' || fallito "the allowed flow names its TLS server"
# An address with several recent names (the latest blocked): the ClientHello decides.
raggiunge -k --resolve www.permesso.example.test:443:203.0.113.1 https://www.permesso.example.test/ \
    || fallito "TLS on a shared address is judged by its own server name"
grep -q "(tls)" "$lavoro/estensione.log" || fallito "the name's source is logged (tls)"
rifiutato_subito -H "Host: www.vietato.example.test" http://203.0.113.45/ \
    || fallito "plain HTTP to a blocked Host, on an address without a name"
raggiunge -H "Host: www.permesso.example.test" http://203.0.113.45/ || fallito "plain HTTP to another Host"
grep -q "(http)" "$lavoro/estensione.log" || fallito "the name's source is logged (http)"
/usr/bin/python3 "$qui/iniziale-quic.py" 203.0.113.44 443 quic.vietato.example.test || fallito "QUIC sender"
/usr/bin/python3 "$qui/iniziale-quic.py" 203.0.113.44 443 quic.permesso.example.test || fallito "QUIC sender"
sleep 0.3
ha_evento '"host":"quic.vietato.example.test"' '"protocollo":"UDP"' '"consentito":false' || fallito "a QUIC Initial for a blocked name is refused"
ha_evento '"host":"quic.permesso.example.test"' '"protocollo":"UDP"' '"consentito":true' || fallito "a QUIC Initial for another name passes"
grep -q "(quic)" "$lavoro/estensione.log" || fallito "the name's source is logged (quic)"
# A connection that never sends data (here its server never answers) is judged all the same.
raggiunge -k https://203.0.113.99/
sleep 2.5
ha_evento '"indirizzoIP":"203.0.113.99"' '"porta":"443"' || fallito "a silent connection is judged by its address"
passo "names from TLS, QUIC and HTTP when DNS gave none or several"

# ---- flows without ports ----
# (A list this short would be taken for a failed download: sixty addresses of another range.)
seq 0 59 | sed "s/^/198.51.100./" >"$lavoro/c2.txt"
echo 203.0.113.66 >>"$lavoro/c2.txt"
"$ctl" c2 "$lavoro/c2.txt" >/dev/null || fallito "C2 delivery"
ping -c 1 -W 2 203.0.113.66 >/dev/null 2>&1 && fallito "a ping to a command-and-control address is refused"
ha_evento '"attacco":"c2Noto"' '"indirizzoIP":"203.0.113.66"' || fallito "the ping is reported as c2Noto with its address"
ha_evento '"attacco":"c2Noto"' '"porta":"?"' || fallito "the ping's port is ?"
# Where no name could change the verdict, a connection does not wait for one.
rifiutato_subito -k https://203.0.113.66/ || fallito "TLS to a command-and-control address is refused at its opening"
grep -q "Flow to 203.0.113.66 port 443: 203.0.113.66 (address)" "$lavoro/estensione.log" \
    || fallito "judged at its opening, by address"
regole imposta bloccaSconosciute sì
ping -c 1 -W 2 203.0.113.1 >/dev/null 2>&1 && fallito "a ping from an unknown application is judged"
ping -c 1 -W 2 192.168.77.1 >/dev/null 2>&1 || fallito "a ping to the local network is exempt"
regole imposta bloccaSconosciute no
passo "pings judged by their address"

# ---- pings are their program's, like any other flow ----
pingreale=$(readlink -f "$(command -v ping)")
ha_evento '"attacco":"c2Noto"' "\"firmaApp\":\"$pingreale\"" \
    || fallito "the ping to the command-and-control address is named by its program"
# (An address no name was given for: the names' own rules stay out of it.)
ping -c 1 -W 2 203.0.113.53 >/dev/null 2>&1 || fallito "pings pass before the rule"
regole app "$pingreale" blocca
ping -c 1 -W 2 203.0.113.53 >/dev/null 2>&1 && fallito "a program's block rule stops its pings"
ha_evento "\"firmaApp\":\"$pingreale\"" '"motivo":"regola"' || fallito "refused by its rule"
cp "$pingreale" "$lavoro/bin/altro-ping"
"$lavoro/bin/altro-ping" -c 1 -W 2 203.0.113.53 >/dev/null 2>&1 || fallito "another program's pings pass"
regole rimuovi app "$pingreale"
passo "pings named by their program, and stopped by its rule"

# ---- a DNS tunnel through a local resolver ----
# The machine's resolver on loopback forwards the tunnel's domain to its server on the
# "Internet" host. The tunnel is a program of the user's (a copy outside the system's folders).
dnsmasq --no-daemon --no-resolv --no-hosts --bind-interfaces --listen-address=127.0.0.1 \
    --server=/t.example.test/203.0.113.54 --server=203.0.113.53 \
    --pid-file="$lavoro/dnsmasq-locale.pid" >/dev/null 2>&1 &
i iodined -f -c -P segreta -l 203.0.113.54 10.99.0.1 t.example.test >"$lavoro/iodined.log" 2>&1 &
for _ in $(seq 50); do dig +short +time=1 +tries=1 @127.0.0.1 ok.example.test A | grep -q . && break; sleep 0.1; done
# An ordinary burst first: 45 pages' names in well under a minute, through that resolver.
for n in $(seq 45); do dig +short +time=2 +tries=1 @127.0.0.1 "pagina$n.example.test" A >/dev/null; done
evento '"attacco":"tunnelDNS"' | grep -q . && fallito "ordinary lookups are taken for a tunnel"
cp "$(command -v iodine)" "$lavoro/bin/iodine"
"$lavoro/bin/iodine" -f -r -P segreta 127.0.0.1 t.example.test >"$lavoro/iodine.log" 2>&1 &
tunnel=$!
for _ in $(seq 100); do grep -q "Connection setup complete" "$lavoro/iodine.log" && break; sleep 0.1; done
# Traffic through the tunnel: every packet is a lookup.
ping -c 40 -i 0.1 -W 1 10.99.0.1 >/dev/null 2>&1
for _ in $(seq 50); do evento '"attacco":"tunnelDNS"' | grep -q . && break; sleep 0.2; done
evento '"attacco":"tunnelDNS"' | grep -qF "\"firmaApp\":\"$lavoro/bin/iodine\"" \
    || { cat "$lavoro/iodine.log"; grep -a -E "iodine|127.0.0.1" "$lavoro/estensione.log" | head; fallito "the tunnel through the local resolver is found"; }
ha_evento '"attacco":"tunnelDNS"' '"consentito":false' || fallito "and contained"
kill "$tunnel" 2>/dev/null; wait "$tunnel" 2>/dev/null
passo "a DNS tunnel through the local resolver, not a burst of ordinary lookups"

# ---- a program whose path is not UTF-8 ----
# Shown, stored and looked up under one name: a rule made from what ostralectl prints holds.
strano=$lavoro/bin/$'caf\xe9'
cp "$(readlink -f /usr/bin/curl)" "$strano"
"$strano" -s -o /dev/null -m 3 http://203.0.113.44/ || fallito "the program at a non-UTF-8 path runs"
sleep 0.3
nome=$("$ctl" --json flussi | /usr/bin/python3 -c '
import json, sys
eventi = json.load(sys.stdin)
print([e["firmaApp"] for e in eventi if "/bin/caf" in e["firmaApp"]][-1])')
[ "$nome" = "$lavoro/bin/caf\xE9" ] || fallito "the path is shown with its byte escaped (shown: $nome)"
regole app "$nome" blocca
rifiutato_subito_con() { local inizio; inizio=$(date +%s%N); "$@" && return 1; [ $((($(date +%s%N) - inizio) / 1000000)) -lt 1000 ]; }
rifiutato_subito_con "$strano" -s -o /dev/null -m 5 http://203.0.113.44/ || fallito "a rule made from the shown name holds"
passo "a program at a non-UTF-8 path, held by a rule made from the name shown"

kill -TERM "$demone"; wait "$demone"; demone=""
echo "all naming checks passed"
