#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# An ordinary desktop day on the real netfilter back end, with the daemon's clock accelerated:
# twenty everyday programs (mail, chats, a video call, NTP, update checks, git, a browser, a
# backup, music, a package manager's downloads...) towards the domains they have used for weeks,
# and four programs that are not ordinary. The everyday ones must raise no alert (no finding
# that stopped them, none out of their habits), be blocked nowhere and contained never; each
# of the others must raise its pattern, out of habit. Documentation addresses only, inside the
# namespaces made here. Prints, per pattern, what the day left in the archive.
# Usage: giornata.sh ESTENSIONE OSTRALECTL [ACCELERA [ORE]]   Exit 0 passed, 77 skipped.
set -uo pipefail
estensione=$1
ctl=$2
accelera=${3:-240}
ore=${4:-8}

cartella=$(dirname "$(readlink -f "$0")")
source "$cartella/../../strumenti/spazi-di-prova.sh"
serve_root_e ip iptables dnsmasq /usr/bin/python3
nei_propri_namespace "$0" "$@"

lavoro_di_prova giornata
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
mkdir -p "$OSTRALE_CONTENITORE" "$lavoro/bin"
mostra_fallimento() {
    echo "--- attack lines of the daemon's log"
    grep "Attacco riconosciuto" "$lavoro/estensione.log" 2>/dev/null | tail -n 30
}
giornata() { /usr/bin/python3 "$cartella/giornata.py" "$@"; }

# ---- the network: this host, and the "Internet" host with every domain's address ----
prepara_namespace
avvia_vicino
internet=$vicino
collega_vicino 203.0.113.2/24 -- 203.0.113.1/24 203.0.113.53/24 2>/dev/null || fallito "the link"
i() { nsenter --net="/proc/$internet/ns/net" "$@"; }
for a in $(giornata indirizzi); do i ip addr add "$a/24" dev veth-i; done
ip route add default via 203.0.113.1
echo "nameserver 203.0.113.53" >"$lavoro/resolv.conf"
printf 'hosts: files dns\n' >"$lavoro/nsswitch.conf"
mount --bind "$lavoro/resolv.conf" /etc/resolv.conf && mount --bind "$lavoro/nsswitch.conf" /etc/nsswitch.conf \
    || { echo "skipped: no private resolver configuration"; exit 77; }
# shellcheck disable=SC2046
i dnsmasq --no-daemon --no-resolv --no-hosts --bind-interfaces --listen-address=203.0.113.53 \
    --cache-size=0 $(giornata dnsmasq) --pid-file="$lavoro/dnsmasq.pid" >/dev/null 2>&1 &
i /usr/bin/python3 "$cartella/giornata.py" server >"$lavoro/server.log" 2>&1 &
for _ in $(seq 100); do
    /usr/bin/python3 -c 'import socket; socket.create_connection(("imap.posta.test", 993), 1).close()' \
        2>/dev/null && break
    sleep 0.1
done

# ---- the programs, each a copy of the interpreter, known to the daemon for a month ----
ruoli=$(giornata ruoli)
for r in $ruoli; do cp "$(readlink -f /usr/bin/python3)" "$lavoro/bin/$r"; done
giornata semina "$OSTRALE_CONTENITORE" "$lavoro/bin"

# ---- the day ----
avvia_demone "$estensione" "$lavoro/estensione.log" --sorgente netfilter --accelera "$accelera" \
    || fallito "the daemon did not start"
"$ctl" --json flussi --segui >"$lavoro/eventi.jsonl" 2>/dev/null &
segui=$!
for _ in $(seq 100); do [ -s "$lavoro/eventi.jsonl" ] && break; sleep 0.05; done
echo "a day of $ore hours, $accelera times faster"
programmi=()
for r in $ruoli; do
    "$lavoro/bin/$r" "$cartella/giornata.py" "$r" "$accelera" "$ore" 2>>"$lavoro/programmi.log" &
    programmi+=($!)
done
for p in "${programmi[@]}"; do wait "$p"; done
sleep 1
kill -TERM "$segui" 2>/dev/null; wait "$segui" 2>/dev/null
"$ctl" --json storico >"$lavoro/storico.json" || fallito "ostralectl storico"
kill -TERM "$demone"; wait "$demone"; demone=""
cat "$lavoro/programmi.log"

# ---- what the day left ----
/usr/bin/python3 - "$lavoro" "$ore" "$(giornata attesi)" $ruoli <<'EOF' || fallito "the day's findings"
import collections, json, os, sys
lavoro, ore, attesi, ruoli = sys.argv[1], float(sys.argv[2]), json.loads(sys.argv[3]), sys.argv[4:]
bin_ = os.path.join(lavoro, "bin")
nome = lambda firma: os.path.basename(firma) if firma.startswith(bin_ + "/") else firma
eventi = []
for riga in open(os.path.join(lavoro, "eventi.jsonl")):
    riga = riga.strip()
    if riga.startswith("{"):
        e = json.loads(riga)
        if e.get("attacco"):
            eventi.append(e)
# What the app tells the user at once: a source stopped, or a finding out of habit; at most
# once an hour per pattern and source.
def da_dire(e):
    return not e["consentito"] or e.get("anomala", False)
ultimi, avvisi = {}, []
for e in sorted(eventi, key=lambda e: e["data"]):
    if not da_dire(e):
        continue
    chiave = e["attacco"] + "|" + e["firmaApp"]
    if chiave in ultimi and e["data"] - ultimi[chiave] < 3600:
        continue
    ultimi[chiave] = e["data"]
    avvisi.append(e)

errori = []
benigni = [r for r in ruoli if r not in attesi]
archivio = collections.Counter()
perché = collections.defaultdict(set)
for e in eventi:
    chi = nome(e["firmaApp"])
    if chi in benigni:
        archivio[e["attacco"]] += 1
        perché[e["attacco"]].add(chi)
        if da_dire(e):
            errori.append(f"{chi}: {e['attacco']} would be told "
                          f"({'stopped' if not e['consentito'] else 'out of habit'})")
    elif chi not in attesi:
        errori.append(f"a finding of something else: {e['attacco']} from {e['firmaApp']}")
storico = json.load(open(os.path.join(lavoro, "storico.json")))
for firma, voce in storico.get("app", {}).items():
    if nome(firma) in benigni and voce.get("bloccati", 0):
        errori.append(f"{nome(firma)}: {voce['bloccati']} flows blocked")
visti = {nome(f) for f in storico.get("app", {})}
for r in benigni:
    if r not in visti:
        errori.append(f"{r} made no flow the daemon counted")

print(f"benign day: {sum(archivio.values())} entries in the archive, none told")
for tipo, n in sorted(archivio.items()):
    print(f"  {tipo}: {n}, from {', '.join(sorted(perché[tipo]))}")
# Each program that is not ordinary raises its pattern, told (what it also does by habit, like
# the established ones' visits to their old domain, may stay quiet).
for chi, tipi in attesi.items():
    propri = [e for e in eventi if nome(e["firmaApp"]) == chi]
    for tipo in tipi:
        if not any(e["attacco"] == tipo and da_dire(e) for e in propri):
            errori.append(f"{chi}: no {tipo} told")
    detti = sorted({e["attacco"] for e in propri if da_dire(e)})
    taciuti = sorted({e["attacco"] for e in propri if not da_dire(e)})
    print(f"  {chi}: told {', '.join(detti) or 'nothing'}; kept {', '.join(taciuti) or 'nothing'}")
# For comparison: an app that told every finding, once an hour per pattern and source.
ultimi, tutti = {}, 0
for e in sorted(eventi, key=lambda e: e["data"]):
    chiave = e["attacco"] + "|" + e["firmaApp"]
    if chiave not in ultimi or e["data"] - ultimi[chiave] >= 3600:
        ultimi[chiave] = e["data"]
        tutti += nome(e["firmaApp"]) in benigni
print(f"alerts of the day: {len(avvisi)} (telling every finding: {tutti} about the ordinary programs)")
for e in errori:
    print("  " + e)
sys.exit(1 if errori else 0)
EOF
echo "the ordinary day raised no alert; every program that is not ordinary did"
