#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The daemon on real traffic in a small network of namespaces made here: the protected host
# (this script, in a namespace of its own) runs the real ostrale-estensione; the "Internet" host
# answers names (dnsmasq) and serves HTTP on documentation addresses, plus one LAN address.
# Usage: rete.sh ESTENSIONE OSTRALECTL OSTRALE-STATO    Exit 0 passed, 77 skipped, else failed.
set -uo pipefail
estensione=$1
ctl=$2
app=$3

source "$(dirname "$(readlink -f "$0")")/../../strumenti/spazi-di-prova.sh"
serve_root_e ip iptables curl dnsmasq dig /usr/bin/python3
nei_propri_namespace "$0" "$@"

lavoro_di_prova rete
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
export OSTRALE_IMPOSTAZIONI=$lavoro/ostrale.conf
mkdir -p "$OSTRALE_CONTENITORE"
mostra_fallimento() {
    echo "--- daemon log (last lines)"; tail -n 30 "$lavoro/estensione.log" 2>/dev/null
    grep -i attribution "$lavoro/estensione.log"
}

# ---- the network ----
prepara_namespace
# The "Internet" host.
avvia_vicino
internet=$vicino
ip link add veth-p type veth peer name veth-i netns "$internet"
ip addr add 203.0.113.2/24 dev veth-p
ip addr add 192.168.77.2/24 dev veth-p
ip addr add 2001:db8::2/64 dev veth-p nodad
ip link set veth-p up
i() { nsenter --net="/proc/$internet/ns/net" "$@"; }
i ip link set lo up
i ip addr add 203.0.113.1/24 dev veth-i
i ip addr add 203.0.113.66/24 dev veth-i
i ip addr add 203.0.113.53/24 dev veth-i
i ip addr add 192.168.77.1/24 dev veth-i
i ip addr add 2001:db8::1/64 dev veth-i nodad
i ip addr add 2001:db8::66/64 dev veth-i nodad
i ip link set veth-i up
i /usr/bin/python3 -m http.server 80 --bind :: >/dev/null 2>&1 &
i /usr/bin/python3 -m http.server 4444 --bind :: >/dev/null 2>&1 &
i dnsmasq --no-daemon --no-resolv --no-hosts --bind-interfaces --listen-address=203.0.113.53 \
    --address=/example.test/203.0.113.1 --address=/example.test/2001:db8::1 \
    --address=/doubleclick.net/203.0.113.1 --pid-file="$lavoro/dnsmasq.pid" >/dev/null 2>&1 &
# A server on the protected host, for inbound flows.
/usr/bin/python3 -m http.server 8080 --bind 203.0.113.2 >/dev/null 2>&1 &
for _ in $(seq 50); do curl -s -o /dev/null -m 1 http://203.0.113.1/ && break; sleep 0.1; done

regole() { # applies a rules change through ostralectl (stored in the container, sent if running)
    "$ctl" regole "$@" >/dev/null 2>&1 || [ $? = 1 ] || fallito "ostralectl regole $*"
}
avvia() { # returns once this daemon has installed its rules
    avvia_demone "$estensione" "$lavoro/estensione.log" --sorgente netfilter --verboso || fallito "the daemon did not start"
}
nome() { dig +short +time=2 +tries=1 @203.0.113.53 "$@" >/dev/null || fallito "dig $*"; }
raggiunge() { curl -s -o /dev/null -m 5 "$@"; }
rifiutato_subito() {
    local inizio fine
    inizio=$(date +%s%N)
    raggiunge "$@" && return 1
    fine=$(date +%s%N)
    [ $(((fine - inizio) / 1000000)) -lt 1000 ]
}
# Whether the newest event matching the first patterns matches the last, waiting up to 5 s for it
# to be recorded (a verdict's bookkeeping may come a moment after the verdict).
ha_evento() {
    local atteso=${!#}
    for _ in $(seq 300); do evento "${@:1:$#-1}" | grep -q -- "$atteso" && return 0; sleep 0.1; done
    return 1
}
evento() { # the newest event matching a jq-free grep on the daemon's JSON log
    "$ctl" --json flussi | tr '}' '\n' | grep -F "$1" | tail -n 1
}

# ---- application and domain rules ----
regole app /usr/bin/curl consenti
regole dominio blocked.example.test blocca
avvia
/usr/bin/python3 -c "import urllib.request; urllib.request.urlopen('http://203.0.113.1/', timeout=5)" \
    || fallito "python3 reaches the server"
nome www.blocked.example.test A
rifiutato_subito http://203.0.113.1/ || fallito "a blocked domain by name over IPv4, refused at once"
ha_evento '"host":"www.blocked.example.test"' '"motivo":"dominio"' || fallito "the event names the host"
nome www.blocked.example.test AAAA
rifiutato_subito "http://[2001:db8::1]/" || fallito "a blocked domain over IPv6"
nome ok.example.test A
# Other software's rules later in the same chain still see a judged first packet, with the mark
# it had (a VPN's mark for policy routing must reach the SYN too).
iptables -t mangle -A OUTPUT -p tcp -d 203.0.113.1 --dport 80 -m conntrack --ctstate NEW \
    -m mark --mark 0
raggiunge http://203.0.113.1/ || fallito "another name on the same address passes"
visti=$(iptables -t mangle -L OUTPUT -v -x -n | awk '$0 ~ /203.0.113.1/ && $0 ~ /dpt:80/ { print $1 }')
[ "${visti:-0}" = 1 ] || fallito "the first packet reaches later rules once, unmarked (seen ${visti:-0})"
iptables -t mangle -D OUTPUT -p tcp -d 203.0.113.1 --dport 80 -m conntrack --ctstate NEW -m mark --mark 0
passo "domain rules by name, IPv4 and IPv6"

regole app /usr/bin/curl blocca
# Another program's rule later in the chain that saves the whole packet mark into the connection
# must not wipe a refusal.
iptables -t mangle -A OUTPUT -j CONNMARK --save-mark
rifiutato_subito http://203.0.113.1/ || fallito "an application rule blocks curl at once"
iptables -t mangle -D OUTPUT -j CONNMARK --save-mark
/usr/bin/python3 -c "import urllib.request; urllib.request.urlopen('http://203.0.113.1/', timeout=5)" \
    || fallito "and not python3 to the same server"
ha_evento '"firmaApp":"/usr/bin/curl"' '"motivo":"regola"' || fallito "curl's event carries its rule"
passo "application rules"
regole rimuovi app /usr/bin/curl

# ---- trackers, the C2 list, notorious ports, the local network ----
regole imposta bloccaTracker sì
nome stats.g.doubleclick.net A
rifiutato_subito http://203.0.113.1/ || fallito "a tracker host"
nome ok.example.test A
passo "tracker blocking"
seq 0 59 | sed 's/^/198.51.100./' > "$lavoro/c2.txt"
echo 203.0.113.66 >> "$lavoro/c2.txt"
"$ctl" c2 "$lavoro/c2.txt" >/dev/null || fallito "C2 delivery"
rifiutato_subito http://203.0.113.66/ || fallito "a command-and-control address"
raggiunge http://203.0.113.1/ || fallito "other addresses pass"
rifiutato_subito http://203.0.113.1:4444/ || fallito "a notorious port"
passo "command-and-control list and notorious ports"
regole imposta bloccaSconosciute sì
rifiutato_subito http://203.0.113.1/ || fallito "unknown applications blocked"
raggiunge http://192.168.77.1/ || fallito "the local network is exempt"
passo "local-network exemption"

# ---- asking the user ----
regole imposta chiediPrima sì
# The app, headless, that never answers: the answer comes from ostralectl, an observer.
"$app" --gestore esterno --rispondi mai --senza-flussi >"$lavoro/app.log" 2>&1 &
seguace=$!
for _ in $(seq 100); do
    "$ctl" --json stato 2>/dev/null | grep -q '"appConnessa":true' && break
    sleep 0.1
done
"$ctl" --json stato | grep -q '"appConnessa":true' || fallito "the app registers"
raggiunge -m 20 http://203.0.113.1/ &
attesa=$!
sleep 1
kill -0 "$attesa" 2>/dev/null || fallito "the connection waits for the answer"
"$ctl" --json stato | grep -q '"domandeInAttesa":1' || fallito "ostralectl sees the question"
"$ctl" rispondi /usr/bin/curl consenti || fallito "ostralectl rispondi"
wait "$attesa" || fallito "the answer releases the connection"
"$ctl" --json stato | grep -q '"appConnessa":true' || fallito "the app stays connected"
# Another application asks and nobody answers: refused 60 seconds later (checked at the end).
inizioSenzaRisposta=$(date +%s)
/usr/bin/python3 -c "import urllib.request; urllib.request.urlopen('http://203.0.113.1/', timeout=120)" \
    >/dev/null 2>&1 &
senzaRisposta=$!
sleep 1
kill "$seguace" 2>/dev/null; wait "$seguace" 2>/dev/null
passo "a paused connection released by the user"
regole imposta chiediPrima no
regole imposta bloccaSconosciute no

# ---- inbound ----
i curl -s -o /dev/null -m 3 http://203.0.113.2:8080/ || fallito "inbound passes with inbound filtering off"
regole imposta filtraEntrata sì
regole imposta bloccaSconosciute sì
i curl -s -o /dev/null -m 2 http://203.0.113.2:8080/ && fallito "inbound is judged with inbound filtering on"
ha_evento '"direzione":"entrata"' '"consentito":false' || fallito "the inbound flow is recorded"
regole imposta filtraEntrata no
regole imposta bloccaSconosciute no
passo "inbound filtering"

# ---- an attack's source decided: an IPv6 address becomes a rule of that address ----
/usr/bin/python3 -m http.server 8081 --bind 2001:db8::2 >/dev/null 2>&1 &
dalla66() { i curl -s -o /dev/null --interface 2001:db8::66 "$@" "http://[2001:db8::2]:8081/"; }
for _ in $(seq 50); do dalla66 -m 1 && break; sleep 0.1; done
dalla66 -m 3 || fallito "inbound IPv6 passes before the decision"
# What the app sends when the user blocks the source of an attack (the same edit, as typed).
"$ctl" regole dominio "[2001:DB8:0::66]" blocca >/dev/null || fallito "an IPv6 source becomes a rule"
"$ctl" --json regole | grep -q '"dominio":"2001:db8::66"' || fallito "the rule names the address canonically"
# Refused although inbound flows are not filtered: the user ruled on this source.
dalla66 -m 2 && fallito "the source's next inbound flow is refused"
ha_evento '"indirizzoIP":"2001:db8::66"' '"motivo":"dominio"' || fallito "refused by the address's rule"
rifiutato_subito "http://[2001:db8::66]/" || fallito "a flow to that address is refused at once"
regole rimuovi dominio 2001:db8::66
raggiunge "http://[2001:db8::66]/" || fallito "removed, the address is reached again"
dalla66 -m 3 || fallito "and it reaches us again"
passo "an IPv6 attack source blocked by a rule of its address"

# ---- one-way UDP ----
/usr/bin/python3 - <<'PY' || fallito "UDP sender"
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for _ in range(50):
    s.sendto(b"x", ("203.0.113.1", 9999))
import time
time.sleep(0.5)  # still alive when its first datagram is judged
PY
sleep 0.5
quanti=$("$ctl" --json flussi | tr '}' '\n' | grep '"porta":"9999"' | grep -c python3)
[ "$quanti" = 1 ] || fallito "50 datagrams of one flow reach the pipeline once (seen $quanti)"
passo "one-way UDP judged once"

# ---- who sent it: the kernel's note of each socket's owner ----
grep -q "socket owners noted by the kernel" "$lavoro/estensione.log" || fallito "the daemon runs the kernel attribution path"
# A datagram from a socket closed at once, by a process that ends at once: nothing is left to
# look up when the verdict is made.
/usr/bin/python3 -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.sendto(b"x", ("203.0.113.1", 9998))
s.close()' || fallito "UDP sender that closes at once"
# A datagram, then at once another program in the same process; that program's own flow.
/usr/bin/python3 -c '
import os, socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.sendto(b"x", ("203.0.113.1", 9997))
os.execv("/usr/bin/curl", ["curl", "-s", "-o", "/dev/null", "-m", "5", "http://203.0.113.1:80/exec"])' \
    || fallito "python3 that becomes curl"
sleep 0.5
python=$(readlink -f /usr/bin/python3)
for porta in 9998 9997; do
    evento "\"porta\":\"$porta\"" | grep -qF "\"firmaApp\":\"$python\"" \
        || fallito "the flow to port $porta is $python's: $(evento "\"porta\":\"$porta\"")"
done
evento '"porta":"80"' | grep -qF '"firmaApp":"/usr/bin/curl"' \
    || fallito "the program run by exec is named for its own flow: $(evento '"porta":"80"')"
passo "attribution of closed sockets and across exec"

# ---- the unanswered question ----
wait "$senzaRisposta" && fallito "an unanswered paused connection is refused"
attesi=$(($(date +%s) - inizioSenzaRisposta))
[ "$attesi" -ge 55 ] && [ "$attesi" -le 75 ] || fallito "refused after 60 seconds (it took $attesi)"
passo "an unanswered paused connection refused after $attesi seconds"

# ---- a crash, then a restart ----
regole app /usr/bin/curl blocca
kill -KILL "$demone"; wait "$demone" 2>/dev/null; demone=""
raggiunge http://203.0.113.1/ || fallito "traffic flows while no daemon runs"
avvia
[ "$(iptables-save -t mangle | grep -c -- '-A OUTPUT -j OSTRALE_USCITA')" = 1 ] || fallito "stale rules removed"
rifiutato_subito http://203.0.113.1/ || fallito "filtering resumes after a restart"
passo "crash bypass and restart"

kill -TERM "$demone"; wait "$demone"; demone=""
iptables-save | grep -q OSTRALE && fallito "rules left after a clean stop"
ip6tables-save | grep -q OSTRALE && fallito "IPv6 rules left after a clean stop"
passo "clean stop removes every rule"
echo "all network checks passed"
