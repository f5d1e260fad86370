#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The attack detector against real tools, in a small network of namespaces made here: the
# protected host (this script, in namespaces of its own) runs the real ostrale-estensione; the
# "Internet" host answers names (dnsmasq), serves HTTP, and attacks from addresses of its own;
# a few LAN addresses sit beside it. Documentation addresses only; nothing leaves the namespaces.
# Every scenario checks the attack events that `ostralectl attacchi` shows (type, source,
# blocked or only reported), the sanction in force afterwards, and that nothing else fired.
# Usage: attacchi.sh ESTENSIONE OSTRALECTL    Exit 0 passed, 77 skipped, anything else failed.
set -uo pipefail
estensione=$1
ctl=$2

source "$(dirname "$(readlink -f "$0")")/../../strumenti/spazi-di-prova.sh"
serve_root_e ip iptables curl dnsmasq dig nmap hydra hping3 /usr/sbin/sshd ssh-keygen /usr/bin/python3
nei_propri_namespace "$0" "$@"

lavoro_di_prova attacchi
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
mkdir -p "$OSTRALE_CONTENITORE" "$lavoro/bin"
mostra_fallimento() {
    echo "--- listening sockets of the protected host"; ss -ltnp
    echo "--- attack lines of the daemon's log"
    grep "Attacco riconosciuto" "$lavoro/estensione.log" 2>/dev/null | tail -n 20
}

# Each scenario runs programs of its own name (copies of the real executables), so that one
# scenario's sanction on an application never touches another's.
copia() { # name, executable
    cp "$(readlink -f "$2")" "$lavoro/bin/$1"
    echo "$lavoro/bin/$1"
}

# ---- the network ----
prepara_namespace
avvia_vicino
internet=$vicino
ip link add veth-p type veth peer name veth-i netns "$internet"
ip addr add 203.0.113.2/24 dev veth-p
ip addr add 192.168.77.100/24 dev veth-p
ip link set veth-p up
ip route add default via 203.0.113.1
# Names resolve through the "Internet" host's DNS server, for this mount namespace only.
echo "nameserver 203.0.113.53" >"$lavoro/resolv.conf"
printf 'hosts: files dns\n' >"$lavoro/nsswitch.conf"
mount --bind "$lavoro/resolv.conf" /etc/resolv.conf && mount --bind "$lavoro/nsswitch.conf" /etc/nsswitch.conf \
    || { echo "skipped: no private resolver configuration"; exit 77; }
i() { nsenter --net="/proc/$internet/ns/net" "$@"; }
i ip link set lo up
for a in 1 10 11 20 21 30 31 53 66; do i ip addr add "203.0.113.$a/24" dev veth-i; done
for a in $(seq 1 8); do i ip addr add "192.168.77.$a/24" dev veth-i; done
i ip link set veth-i up
i sysctl -qw net.ipv4.ip_forward=0
head -c 4000000 /dev/urandom >"$lavoro/pacchetto.deb"
(cd "$lavoro" && exec nsenter --net="/proc/$internet/ns/net" /usr/bin/python3 -m http.server 80 \
    --bind 0.0.0.0 >/dev/null 2>&1) &
i dnsmasq --no-daemon --no-resolv --no-hosts --bind-interfaces --listen-address=203.0.113.53 \
    --address=/example.test/203.0.113.1 --pid-file="$lavoro/dnsmasq.pid" >/dev/null 2>&1 &
# Services of the protected host: a web server and an SSH server for the password guesser.
/usr/bin/python3 -m http.server 8080 --bind 203.0.113.2 >"$lavoro/web.log" 2>&1 &
mkdir -p /run/sshd
ssh-keygen -q -t ed25519 -N "" -f "$lavoro/chiave" >/dev/null
cat >"$lavoro/sshd_config" <<EOF
ListenAddress 203.0.113.2
Port 22
HostKey $lavoro/chiave
PidFile $lavoro/sshd.pid
UsePAM no
PasswordAuthentication yes
KbdInteractiveAuthentication no
MaxAuthTries 1
MaxStartups 100
EOF
/usr/sbin/sshd -D -f "$lavoro/sshd_config" -E "$lavoro/sshd.log" &
for _ in $(seq 100); do
    curl -s -o /dev/null -m 1 http://203.0.113.1/ && curl -s -o /dev/null -m 1 http://203.0.113.2:8080/ \
        && break
    sleep 0.1
done

# ---- the daemon ----
avvia_demone "$estensione" "$lavoro/estensione.log" --sorgente netfilter || fallito "the daemon did not start"
regole() { "$ctl" regole "$@" >/dev/null || fallito "ostralectl regole $*"; }

# The attack events that appeared since the last call, one per line: "type|source|blocked or
# reported", the source being the address for inbound attacks and the application for outbound
# ones (events of the background beacon are left out here).
visti=$lavoro/visti
: >"$visti"
nuovi_attacchi() {
    "$ctl" --json attacchi | /usr/bin/python3 -c '
import json, sys
visti_file, escluso = sys.argv[1], sys.argv[2]
visti = set(open(visti_file).read().split())
nuovi = []
for e in json.load(sys.stdin):
    if e["id"] in visti or e.get("firmaApp") == escluso:
        continue
    visti.add(e["id"])
    fonte = e.get("indirizzoIP", "?") if e["direzione"] == "entrata" else e["firmaApp"]
    stato = "bloccato" if not e["consentito"] else "segnalato"
    nuovi.append(e["attacco"] + "|" + fonte + "|" + stato)
open(visti_file, "w").write("\n".join(sorted(visti)))
print("\n".join(sorted(nuovi)))' "$visti" "$faro"
}
# Waits for the events of a scenario, then checks that they are exactly the expected ones.
attesi() { # expected lines, sorted, separated by spaces
    local trovati="" atteso
    atteso=$(printf '%s\n' "$@" | sort)
    for _ in $(seq 20); do
        trovati=$trovati$'\n'$(nuovi_attacchi)
        trovati=$(printf '%s\n' "$trovati" | sed '/^$/d' | sort)
        [ "$trovati" = "$atteso" ] && return 0
        sleep 0.25
    done
    echo "expected:"; printf '  %s\n' "$atteso"
    echo "seen:"; printf '  %s\n' "$trovati"
    return 1
}
raggiunge() { curl -s -o /dev/null -m 3 "$@"; }
# The "Internet" host's connections leave from this address of its own.
attacca_da() { i ip route replace 203.0.113.0/24 dev veth-i src "$1"; }
# A blocked source no longer reaches the protected host's web server; another one does.
sorgente_bloccata() { # blocked address, another address
    i curl -s -o /dev/null -m 2 --interface "$1" http://203.0.113.2:8080/ \
        && fallito "$1 is refused afterwards"
    i curl -s -o /dev/null -m 3 --interface "$2" http://203.0.113.2:8080/ \
        || fallito "$2 still reaches the web server"
}

# ---- a steady call home in the background: 10-12 s apart, eleven times ----
# (its address has a name under example.test, learnt from the answer to this question)
dig +short @203.0.113.53 faro.example.test >/dev/null
faro=$(copia faro /usr/bin/python3)
"$faro" -c '
import random, socket, time
for n in range(11):
    s = socket.create_connection(("203.0.113.1", 80), timeout=3)
    s.close()
    time.sleep(random.uniform(10.5, 11.5))' >/dev/null 2>&1 &
faroPid=$!

# ---- an inbound port scan, inbound filtering off, then on ----
attacca_da 203.0.113.10
i nmap -sT -Pn -n -p 1-21 --max-retries 0 --host-timeout 20s 203.0.113.2 >/dev/null 2>&1
attesi "scansione|203.0.113.10|bloccato" || fallito "nmap's scan is a blocked scansione"
sorgente_bloccata 203.0.113.10 203.0.113.11
passo "nmap port scan (inbound filtering off): scansione, source blocked"
regole imposta filtraEntrata sì
attacca_da 203.0.113.20
i nmap -sT -Pn -n -p 100-130 --max-retries 0 --host-timeout 20s 203.0.113.2 >/dev/null 2>&1
attesi "scansione|203.0.113.20|bloccato" || fallito "with inbound filtering on too"
sorgente_bloccata 203.0.113.20 203.0.113.21
regole imposta filtraEntrata no
passo "nmap port scan (inbound filtering on): scansione, source blocked"

# ---- password guessing against SSH ----
printf '%s\n' alfa beta gamma delta epsilon zeta eta theta iota kappa lambda mu >"$lavoro/parole"
attacca_da 203.0.113.30
i timeout 25 hydra -l prova -P "$lavoro/parole" -t 2 -w 3 -f -I ssh://203.0.113.2 >/dev/null 2>&1
attesi "forzaBruta|203.0.113.30|bloccato" || fallito "hydra is a blocked forzaBruta"
sorgente_bloccata 203.0.113.30 203.0.113.31
attacca_da 203.0.113.1
passo "hydra against sshd: forzaBruta, source blocked"

# ---- an application sweeping addresses on one uncommon port ----
scanner=$(copia scanner /usr/bin/nmap)
"$scanner" -sT -Pn -n -p 8081 --max-retries 0 --host-timeout 5s 198.51.100.1-12 >/dev/null 2>&1
# A new application reaching bare public addresses is also what ipDiretto reports.
attesi "scansioneUscita|$scanner|bloccato" "ipDiretto|$scanner|segnalato" \
    || fallito "an outbound sweep contains the application"
"$scanner" -sT -Pn -n -p 80 --max-retries 0 203.0.113.1 2>/dev/null | grep -q "80/tcp open" \
    && fallito "the contained scanner is refused afterwards"
raggiunge http://203.0.113.1/ || fallito "an unrelated application passes"
passo "outbound sweep: scansioneUscita, application contained"

# ---- a UDP flood to one public-looking address ----
inondatore=$(copia inondatore /usr/sbin/hping3)
# (hping3 now and then aborts on a busy machine before it has sent much: it is run again.)
for _ in 1 2 3; do
    "$inondatore" --udp -p ++3000 -c 120 -i u2000 203.0.113.1 >/dev/null 2>&1
    [ $? -lt 128 ] && break
done
attesi "floodUDP|$inondatore|bloccato" || fallito "hping3's flood contains it"
"$inondatore" --udp -p 5999 -c 1 203.0.113.1 >/dev/null 2>&1
sleep 0.5
"$ctl" --json flussi | tr '}' '\n' | grep -F "\"firmaApp\":\"$inondatore\"" | grep -F '"porta":"5999"' \
    | grep -q '"consentito":false' || fallito "the contained flooder is refused afterwards"
raggiunge http://203.0.113.1/ || fallito "an unrelated application passes"
passo "hping3 UDP flood: floodUDP, application contained"

# ---- DNS as a tunnel, and random-looking names ----
tunnel=$(copia tunnel /usr/bin/dig)
for n in $(seq 36); do
    etichetta=$(head -c 30 /dev/urandom | base32 | tr -d '=' | tr 'A-Z' 'a-z' | head -c 48)
    "$tunnel" +short +tries=1 +time=1 @203.0.113.53 "$etichetta.t.example.test" TXT >/dev/null 2>&1
done
attesi "tunnelDNS|$tunnel|bloccato" || fallito "bursts of long DNS queries contain dig"
"$tunnel" +short +tries=1 +time=1 @203.0.113.53 ok.example.test >/dev/null 2>&1 \
    && fallito "the contained resolver client is refused afterwards"
dig +short +tries=1 +time=2 @203.0.113.53 ok.example.test >/dev/null || fallito "another dig passes"
passo "bursts of long DNS queries: tunnelDNS, application contained"
strano=$(copia strano /usr/bin/curl)
for nome in xkqzvbtrwplm zrtkvbnmqpxw qwrtzpkdfgxl plmnbvcxzqrt dfghjklzxcvb; do
    dig +short @203.0.113.53 "$nome.example.test" >/dev/null
    "$strano" -s -o /dev/null -m 3 "http://$nome.example.test/" || fallito "random-looking name $nome"
done
attesi "dominiSospetti|$strano|segnalato" || fallito "random-looking names are reported"
passo "random-looking names: dominiSospetti, reported"

# ---- a look-alike name ----
contraffatto=$(copia contraffatto /usr/bin/curl)
dig +short @203.0.113.53 xn--pple-43d.example.test >/dev/null
"$contraffatto" -s -o /dev/null -m 3 http://xn--pple-43d.example.test/ || fallito "the punycode host"
attesi "dominioContraffatto|$contraffatto|segnalato" || fallito "a punycode name is reported"
passo "punycode host: dominioContraffatto, reported"

# ---- a new application on bare addresses; a notorious port; the C2 list ----
diretto=$(copia diretto /usr/bin/curl)
for a in 198.51.100.21 198.51.100.22 198.51.100.23; do "$diretto" -s -o /dev/null -m 1 "http://$a/"; done
attesi "ipDiretto|$diretto|segnalato" || fallito "bare addresses are reported"
passo "three bare addresses: ipDiretto, reported"
porta=$(copia porta /usr/bin/curl)
"$porta" -s -o /dev/null -m 3 http://203.0.113.1:4444/ && fallito "port 4444 is refused"
attesi "portaMalfamata|$porta|bloccato" || fallito "port 4444"
"$porta" -s -o /dev/null -m 3 http://203.0.113.1/ || fallito "the same application elsewhere passes"
passo "port 4444: portaMalfamata, flow blocked"
{ seq 1 60 | sed 's/^/198.18.0./'; echo 203.0.113.66; } >"$lavoro/c2.txt"
"$ctl" c2 "$lavoro/c2.txt" >/dev/null || fallito "C2 delivery"
c2=$(copia c2 /usr/bin/curl)
"$c2" -s -o /dev/null -m 3 http://203.0.113.66/ && fallito "the C2 address is refused"
attesi "c2Noto|$c2|bloccato" || fallito "a C2 address"
raggiunge http://203.0.113.1/ || fallito "other addresses pass"
passo "command-and-control address: c2Noto, flow blocked"

# ---- QUIC-like UDP from a non-browser; SMB to eight LAN hosts ----
quic=$(copia quic /usr/bin/python3)
"$quic" -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.sendto(b"\xc0" + bytes(1199), ("203.0.113.1", 443))' || fallito "UDP to 443"
attesi "protocolloAnomalo|$quic|segnalato" || fallito "UDP to 443 is reported"
passo "UDP to port 443 from a non-browser: protocolloAnomalo, reported"
laterale=$(copia laterale /usr/bin/python3)
"$laterale" -c '
import socket
for n in range(1, 9):
    try:
        socket.create_connection((f"192.168.77.{n}", 445), timeout=0.5).close()
    except OSError:
        pass' || fallito "SMB sweep"
attesi "lateraleLAN|$laterale|segnalato" || fallito "eight LAN hosts on SMB are reported"
passo "SMB to eight LAN hosts: lateraleLAN, reported"

# ---- a benign session: pages from a dozen names, a download, names through the resolver ----
browser=$(copia navigatore /usr/bin/curl)
for n in $(seq 12); do
    dig +short @203.0.113.53 "www$n.example.test" >/dev/null
    "$browser" -s -o /dev/null -m 10 "http://www$n.example.test/" || fallito "benign page $n"
done
dig +short @203.0.113.53 deb.example.test >/dev/null
apt=$(copia scaricatore /usr/bin/curl)
"$apt" -s -o /dev/null -m 10 http://deb.example.test/pacchetto.deb || fallito "the download"
sleep 1
attesi || fallito "a benign session raises no attack"
passo "benign session: no attack event"

# ---- the beacon ----
wait "$faroPid"
"$ctl" --json attacchi | grep -F "\"firmaApp\":\"$faro\"" | grep -q '"attacco":"beaconing"' \
    || fallito "a steady 10-12 s call home is reported as beaconing"
[ "$("$ctl" --json attacchi | tr '}' '\n' | grep -F "\"firmaApp\":\"$faro\"" | grep -c attacco)" = 1 ] \
    || fallito "the beacon raised only beaconing"
passo "steady call home: beaconing, reported"

kill -TERM "$demone"; wait "$demone"; demone=""
echo "all attack scenarios passed"
