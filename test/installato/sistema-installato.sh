#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package on a machine run by a real systemd: a Debian 12 root file system made with
# mmdebstrap, the package installed in it with apt-get, the root booted with systemd-nspawn.
# Inside: the service runs, with its socket, group and container as packaged; ostralectl answers
# the group's members and nobody else; a block rule for curl refuses a connection to a server in a
# network namespace made inside while wget's passes, and the flow reaches the journal;
# ostrale-stato switches the filter off and on through systemd's D-Bus API; a daemon killed by
# SIGKILL is restarted by systemd while traffic flows; a purge leaves no rules, kernel programs or
# container behind.
# The package is the one `make deb` made (the newest build-deb/ostrale_*.deb, or the file named);
# without one the test is skipped: CI runs `make deb` before `make test`. The root file system is
# made once per package list and kept, outside the repository, in OSTRALE_CACHE_SISTEMA (default
# /var/cache/ostrale-test); each run unpacks a fresh copy. Nothing but the Debian mirror named in
# this machine's apt sources is reached, and from inside only the namespaces made here.
# Usage: sistema-installato.sh [PACKAGE | FOLDER]    Exit 0 passed, 77 skipped, else failed.
set -uo pipefail
sorgenti=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)
nome=$(basename "$0")
inizio=$(date +%s)

source "$sorgenti/strumenti/spazi-di-prova.sh"
serve_root_e systemd-nspawn mmdebstrap nsenter unshare setpriv dpkg-deb tar flock pgrep sha256sum

trova_pacchetto() {
    local dove=${1:-$sorgenti/build-deb}
    if [ -f "$dove" ]; then
        echo "$dove"
    elif [ -d "$dove" ]; then
        find "$dove" -maxdepth 1 -name 'ostrale_*.deb' -printf '%T@ %p\n' | sort -rn | head -n 1 | cut -d' ' -f2-
    fi
}
deb=$(trova_pacchetto "${1:-}")
if [ -z "$deb" ]; then
    echo "$nome: skipped, no package ostrale_*.deb in ${1:-$sorgenti/build-deb}: run make deb first"
    exit 77
fi
# Work folders of runs killed before they could clean up: no run holds their lock any more.
for vecchia in /var/tmp/ostrale-installato-*; do
    [ -d "$vecchia" ] && flock -n "$vecchia/.in-uso" true 2>/dev/null && rm -rf --one-file-system "$vecchia"
done
lavoro=$(mktemp -d /var/tmp/ostrale-installato-XXXXXX)
exec 8>"$lavoro/.in-uso"
flock 8
# A copy: `make deb` may replace the folder meanwhile.
cp "$deb" "$lavoro/" || { rm -rf "$lavoro"; echo "FAILED: cannot copy $deb"; exit 1; }
echo "package: $deb (built $(date -r "$deb" '+%F %T'))"
deb=$lavoro/$(basename "$deb")
versione=$(dpkg-deb -f "$deb" Version)
radice=$lavoro/radice
macchina=ostrale-prova-$$
custode=""
nspawn=""
pid1=""
errori=0

dentro() { # a command in the booted container, as root, with a clean environment
    nsenter -t "$pid1" -a env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 "$@"
}
come() { # a command in the container as the user named first
    local utente=$1
    shift
    dentro runuser -u "$utente" -- "$@"
}
# Runs the command every tenth of a second until it succeeds, for at most S seconds.
aspetta() {
    local fino=$(($(date +%s%N) + $1 * 1000000000))
    shift
    until "$@"; do
        [ "$(date +%s%N)" -lt "$fino" ] || return 1
        sleep 0.1
    done
}
fine() {
    if [ -n "$pid1" ] && kill -0 "$pid1" 2>/dev/null; then
        dentro ip link del veth-prova 2>/dev/null
        dentro ip netns del ostrale-vicino 2>/dev/null
        # systemd's request to power off.
        kill -s RTMIN+4 "$pid1" 2>/dev/null
    fi
    if [ -n "$custode" ]; then
        aspetta 30 eval '! kill -0 "$custode" 2>/dev/null' || {
            echo "the container did not power off in 30 s: killed"
            kill -KILL "$custode" 2>/dev/null
        }
        wait "$custode" 2>/dev/null
    fi
    # nspawn's mounts live in its own mount namespace; never follow anything mounted here.
    rm -rf --one-file-system "$lavoro"
    echo "total: $(($(date +%s) - inizio)) s"
}
trap fine EXIT
diagnosi() {
    [ -n "$pid1" ] || return 0
    echo "--- systemctl status ostrale-estensione"
    dentro systemctl status --no-pager -l ostrale-estensione.service 2>&1 | tail -n 25
    echo "--- journal of the unit (last lines)"
    dentro journalctl --no-pager -u ostrale-estensione.service -n 30 2>&1
}
fallito() { # a failure that leaves nothing more to check
    echo "FAILED: $*"
    diagnosi
    exit 1
}
sbagliato() { # a failed check; the others go on
    echo "FAILED: $*"
    errori=$((errori + 1))
}
passo() { # a group of checks done: ok unless one of them failed
    if [ "$errori" = "${errori_prima:-0}" ]; then echo "ok: $*"; else echo "(not ok: $*)"; fi
    errori_prima=$errori
}

# ---- the root file system: made once per package list, unpacked fresh each run ----

# The Debian 12 lines of this machine's apt sources (one-line and deb822 forms), as one-line
# entries for mmdebstrap.
sorgenti_debian() {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$f" |
            awk '$1 == "deb" && $3 ~ /^bookworm(-updates|-security)?$/ { print }'
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk '
            function emetti(   u, s, i, j, n, m) {
                if (tipi ~ /(^|[ \t])deb([ \t]|$)/ && tolower(attiva) != "no") {
                    n = split(uri, u, /[ \t]+/)
                    m = split(suite, s, /[ \t]+/)
                    for (i = 1; i <= n; i++)
                        for (j = 1; j <= m; j++)
                            if (u[i] != "" && s[j] ~ /^bookworm(-updates|-security)?$/)
                                print "deb " u[i] " " s[j] " " componenti
                }
                tipi = uri = suite = componenti = attiva = ""
            }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { emetti(); next }
            {
                chiave = tolower($1)
                valore = $0
                sub(/^[^:]*:[ \t]*/, "", valore)
                if (chiave == "types:") tipi = valore
                else if (chiave == "uris:") uri = valore
                else if (chiave == "suites:") suite = valore
                else if (chiave == "components:") componenti = valore
                else if (chiave == "enabled:") attiva = valore
            }
            END { emetti() }' "$f"
    done
}
mapfile -t fonti < <(sorgenti_debian | awk '!visti[$0]++')
[ ${#fonti[@]} -gt 0 ] || fonti=("deb http://deb.debian.org/debian bookworm main")

# What the tests run inside, and everything the package depends on (first alternatives), so
# that installing it needs no download.
elenco() {
    printf '%s\n' systemd systemd-sysv dbus iproute2 iptables curl wget busybox passwd
    { dpkg-deb -f "$deb" Pre-Depends; dpkg-deb -f "$deb" Depends; } | tr ',' '\n' |
        sed -e 's/|.*//' -e 's/([^)]*)//g' -e 's/:any//' -e 's/[[:space:]]//g' | grep -v '^$'
}
mapfile -t pacchetti < <(elenco | sort -u)
cache=${OSTRALE_CACHE_SISTEMA:-/var/cache/ostrale-test}
chiave=$(printf '%s\n' minbase "${fonti[@]}" "${pacchetti[@]}" | sha256sum | cut -c1-16)
archivio=$cache/radice-bookworm-$chiave.tar
mkdir -p "$cache" || fallito "cannot create the cache $cache"
(
    flock 9
    [ -f "$archivio" ] && exit 0
    echo "making the root file system (bookworm, ${#pacchetti[@]} packages) from: ${fonti[*]}"
    prima=$(date +%s)
    # Package lists kept: apt in the root can still reach the same mirror.
    if ! mmdebstrap --variant=minbase --format=tar --skip=cleanup/apt/lists \
        --include="$(IFS=,; echo "${pacchetti[*]}")" bookworm "$archivio.parziale" "${fonti[@]}" \
        >"$lavoro/mmdebstrap.log" 2>&1; then
        tail -n 30 "$lavoro/mmdebstrap.log"
        rm -f "$archivio.parziale"
        exit 1
    fi
    mv "$archivio.parziale" "$archivio"
    # One root per package list: older ones go.
    find "$cache" -maxdepth 1 -name 'radice-bookworm-*.tar' ! -path "$archivio" -delete
    echo "root file system made in $(($(date +%s) - prima)) s: $archivio"
) 9>"$cache/radice.lock" || fallito "mmdebstrap could not make the root file system"
mkdir "$radice"
tar --numeric-owner --xattrs --xattrs-include='*' -C "$radice" -xpf "$archivio" ||
    fallito "cannot unpack $archivio"
passo "root file system $(basename "$archivio") unpacked ($(du -sh "$archivio" | cut -f1))"

# ---- the package, installed before the boot as an administrator would ----
# Not /tmp: nspawn mounts a fresh one.
cp "$deb" "$radice/root/"
prima=$(date +%s)
if ! systemd-nspawn -q --register=no --keep-unit --as-pid2 --machine="$macchina" -D "$radice" \
    --setenv=DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends -o Dpkg::Use-Pty=0 "/root/$(basename "$deb")" \
    >"$lavoro/apt.log" 2>&1; then
    tail -n 30 "$lavoro/apt.log"
    fallito "apt-get install ./$(basename "$deb")"
fi
rm -f "$radice/root/$(basename "$deb")"
passo "apt-get install ./$(basename "$deb") in $(($(date +%s) - prima)) s"
[ -L "$radice/etc/systemd/system/multi-user.target.wants/ostrale-estensione.service" ] ||
    sbagliato "installing does not enable ostrale-estensione.service"
grep -q '^ostrale:' "$radice/etc/group" || sbagliato "installing does not create the group ostrale"
# The daemon's debug lines carry every flow it judges (README: OSTRALE_DEBUG).
mkdir -p "$radice/etc/systemd/system/ostrale-estensione.service.d"
printf '[Service]\nEnvironment=OSTRALE_DEBUG=1\n' \
    >"$radice/etc/systemd/system/ostrale-estensione.service.d/prova.conf"
# What systemd mounts at boot outside a container and nspawn leaves out: the BPF file system.
cat >"$radice/etc/systemd/system/prova-bpffs.service" <<'UNITA'
[Unit]
Description=The BPF file system at /sys/fs/bpf, as on a machine outside a container
DefaultDependencies=no
Before=sysinit.target ostrale-estensione.service

[Service]
Type=oneshot
RemainAfterExit=yes
ExecStart=/bin/sh -c 'mount -o remount,rw /sys && mkdir -p /sys/fs/bpf && mount -t bpf bpf /sys/fs/bpf; mount -o remount,ro /sys'
UNITA
mkdir -p "$radice/etc/systemd/system/sysinit.target.wants"
ln -s ../prova-bpffs.service "$radice/etc/systemd/system/sysinit.target.wants/prova-bpffs.service"

# ---- the boot ----
prima=$(date +%s)
# nspawn runs as PID 1 of a PID namespace held by `custode`, which dies with this script however
# it ends: its end takes nspawn's, and that the whole namespace with the container in it. The
# container's services may load BPF programs, as on a machine outside a container.
setpriv --pdeathsig KILL unshare --pid --fork --kill-child \
    systemd-nspawn --boot --private-network --capability=all --register=no --keep-unit -q \
    --link-journal=no --system-call-filter='bpf perf_event_open' --machine="$macchina" \
    -D "$radice" </dev/null >"$lavoro/console.log" 2>&1 &
custode=$!
trova_pid1() { # nspawn's child that is PID 1 of its own namespace
    local p
    nspawn=$(pgrep -P "$custode")
    [ -n "$nspawn" ] || return 1
    for p in $(pgrep -P "$nspawn"); do
        if awk '/^NSpid:/ { exit !(NF > 2 && $NF == 1) }' "/proc/$p/status" 2>/dev/null; then
            pid1=$p
            return 0
        fi
    done
    return 1
}
aspetta 30 trova_pid1 || { tail -n 20 "$lavoro/console.log"; fallito "the container's systemd did not start"; }
avviato() {
    stato=$(dentro systemctl is-system-running 2>/dev/null)
    [ "$stato" = running ] || [ "$stato" = degraded ]
}
aspetta 120 avviato || { tail -n 30 "$lavoro/console.log"; fallito "systemd did not finish booting (${stato:-no answer})"; }
passo "booted in $(($(date +%s) - prima)) s: $stato"
[ "$stato" = running ] || dentro systemctl --failed --no-pager
[ "$(dentro stat -f -c %T /sys/fs/bpf 2>/dev/null)" = bpf_fs ] ||
    fallito "no BPF file system at /sys/fs/bpf in the container: $(dentro systemctl status --no-pager prova-bpffs.service 2>&1 | tail -n 5)"

# ---- the service as packaged ----
attivo() { [ "$(dentro systemctl is-active ostrale-estensione.service)" = active ]; }
stato_root() { dentro ostralectl --json stato 2>/dev/null | grep -q '"connessa":true'; }
pid_demone() { dentro systemctl show -p MainPID --value ostrale-estensione.service; }
# The running daemon answers and has installed its own rules (after a crash it first judges
# through the rules its predecessor left, then replaces them).
pronto() {
    local pid
    pid=$(pid_demone)
    [ "${pid:-0}" != 0 ] && stato_root &&
        dentro journalctl -o cat --no-pager _PID="$pid" | grep -q '^Netfilter rules installed'
}
attivo || fallito "ostrale-estensione.service is not active after the boot: $(dentro systemctl is-active ostrale-estensione.service)"
aspetta 30 pronto || fallito "the daemon does not answer on /run/ostrale/ostrale.sock with its rules installed"
[ "$(dentro systemctl is-enabled ostrale-estensione.service)" = enabled ] || sbagliato "the unit is not enabled"
dentro ostralectl --json stato | grep -qF "\"versione\":\"${versione%%-*}\"" ||
    sbagliato "the daemon's version is not the package's: $(dentro ostralectl --json stato)"
passo "ostrale-estensione.service active and answering"

permessi=$(dentro stat -c '%a %U %G %F' /run/ostrale/ostrale.sock)
[ "$permessi" = "660 root ostrale socket" ] || sbagliato "the socket is '$permessi', not 660 root ostrale"
permessi=$(dentro stat -c '%a %U %G' /run/ostrale)
[ "$permessi" = "750 root ostrale" ] || sbagliato "/run/ostrale is '$permessi', not 750 root ostrale"
# /var/lib/ostrale as the package's tmpfiles entry says.
tmpfiles=$(dentro dpkg -L ostrale | grep '/tmpfiles\.d/')
voce=$(awk '$1 == "d" && $2 == "/var/lib/ostrale" { print $3 + 0, $4, $5 }' "$radice$tmpfiles")
permessi=$(dentro stat -c '%a %U %G' /var/lib/ostrale)
[ -n "$voce" ] || sbagliato "no tmpfiles entry for /var/lib/ostrale in $tmpfiles"
[ "$permessi" = "$voce" ] || sbagliato "/var/lib/ostrale is '$permessi', its tmpfiles entry says '$voce'"
passo "socket 660 root:ostrale, /var/lib/ostrale $permessi"

dentro useradd -m -G ostrale ammesso || fallito "useradd ammesso"
dentro useradd -m estraneo || fallito "useradd estraneo"
come ammesso ostralectl stato >"$lavoro/stato.txt" 2>&1 ||
    sbagliato "ostralectl stato for a member of ostrale exits $?: $(cat "$lavoro/stato.txt")"
grep -q "connected" "$lavoro/stato.txt" || sbagliato "ostralectl stato for a member: $(cat "$lavoro/stato.txt")"
come estraneo ostralectl stato >"$lavoro/estraneo.txt" 2>&1
esito=$?
[ "$esito" = 3 ] || sbagliato "ostralectl stato outside the group exits $esito, not 3: $(cat "$lavoro/estraneo.txt")"
passo "ostralectl answers the group ostrale, refuses others (exit $esito)"

# ---- a block rule on real traffic ----
# A peer host inside the container: a network namespace with a server on a documentation address.
dentro ip netns add ostrale-vicino || fallito "ip netns add"
dentro ip link add veth-prova type veth peer name veth-vicino netns ostrale-vicino || fallito "veth"
dentro ip addr add 203.0.113.1/24 dev veth-prova
dentro ip link set veth-prova up
vicino() { dentro nsenter --net=/run/netns/ostrale-vicino "$@"; }
vicino ip link set lo up
vicino ip addr add 203.0.113.10/24 dev veth-vicino
vicino ip link set veth-vicino up
dentro mkdir -p /srv/prova
echo ostrale-prova >"$radice/srv/prova/index.html"
vicino busybox httpd -p 203.0.113.10:80 -h /srv/prova || fallito "busybox httpd"
scarica() { [ "$(come ammesso wget -q --no-hsts -T 5 -O - http://203.0.113.10/ 2>/dev/null)" = ostrale-prova ]; }
aspetta 30 scarica || fallito "the server in the namespace does not answer wget"

come ammesso ostralectl regole app /usr/bin/curl blocca >"$lavoro/regola.txt" 2>&1 ||
    fallito "a member's block rule for /usr/bin/curl (exit $?): $(cat "$lavoro/regola.txt")"
dentro ostralectl --json regole | tr '}' '\n' | grep -F '"firmaApp":"/usr/bin/curl"' | grep -qF '"azione":"blocca"' ||
    sbagliato "the daemon's rules do not hold curl's: $(dentro ostralectl --json regole)"
rifiutato() { # curl fails to connect, at once
    local t0
    t0=$(date +%s%N)
    come ammesso curl -s -o /dev/null -m 5 http://203.0.113.10/
    curl_esito=$?
    curl_ms=$((($(date +%s%N) - t0) / 1000000))
    [ "$curl_esito" = 7 ] && [ "$curl_ms" -lt 1500 ]
}
rifiutato || sbagliato "curl is not refused at once by its block rule (exit $curl_esito after $curl_ms ms)"
scarica || sbagliato "wget to the same server does not pass"
evento() { # the newest flow of the daemon's log matching a fixed string
    dentro ostralectl --json flussi | tr '}' '\n' | grep -F "$1" | tail -n 1
}
ha_evento() { evento "$1" | grep -q -- "$2"; }
aspetta 10 ha_evento '"firmaApp":"/usr/bin/curl"' '"consentito":false' ||
    sbagliato "curl's refused flow is not in the daemon's log: $(evento '"firmaApp":"/usr/bin/curl"')"
evento '"firmaApp":"/usr/bin/curl"' | grep -q '"motivo":"regola"' ||
    sbagliato "curl's flow is not refused by its rule: $(evento '"firmaApp":"/usr/bin/curl"')"
aspetta 10 ha_evento '"firmaApp":"/usr/bin/wget"' '"consentito":true' ||
    sbagliato "wget's flow is not allowed in the daemon's log: $(evento '"firmaApp":"/usr/bin/wget"')"
passo "curl refused by its rule, wget passes, both in the daemon's flow log"

# In the journal, with the daemon's fields.
nel_giornale() {
    dentro journalctl -o json --no-pager -u ostrale-estensione.service |
        grep -F '"MESSAGE":"Flow to 203.0.113.10 port 80' |
        grep -F '"SUBSYSTEM":"it.brelt.ostrale.estensione"' | grep -F '"CATEGORY":"filtro"' |
        grep -F '"SYSLOG_IDENTIFIER":"it.brelt.ostrale.estensione"' | grep -qF '"PRIORITY":"7"'
}
aspetta 10 nel_giornale || sbagliato "the flow to 203.0.113.10 is not in the journal with SUBSYSTEM, CATEGORY and SYSLOG_IDENTIFIER: $(dentro journalctl -o json --no-pager -u ostrale-estensione.service | grep -F 203.0.113.10 | tail -n 2)"
dentro journalctl -o json --no-pager -u ostrale-estensione.service | grep -F '"MESSAGE":"Regole modificate' |
    grep -qF '"SUBSYSTEM":"it.brelt.ostrale.estensione"' || sbagliato "the rule's edit is not in the journal"
# How the daemon finds socket owners under the unit's sandbox (judged below).
attribuzione=$(dentro journalctl --no-pager -o cat -u ostrale-estensione.service | grep "^Attribution" | tail -n 1)
passo "the flow and the edit are in the journal with the daemon's fields"

# ---- the filter switched off and on by the app's controller, through systemd ----
dentro sh -c 'printf "[General]\nhostFeodo=http://127.0.0.1:9\nhostThreatFox=http://127.0.0.1:9\nhostDBIP=http://127.0.0.1:9\n" >/root/ostrale-stato.conf'
controllore() { # ostrale-stato --gestore systemd in the background, its output in LOG
    local log=$1
    shift
    dentro sh -c 'echo $$ >/run/ostrale-stato-prova.pid
        exec env OSTRALE_BLOCCO_APP=/run/ostrale-stato-prova.lock ostrale-stato --gestore systemd \
            --impostazioni /root/ostrale-stato.conf --senza-flussi --durata 120 "$@"' \
        sh "$@" >"$log" 2>&1 &
    controllore=$!
}
ferma_controllore() {
    dentro sh -c 'kill -TERM "$(cat /run/ostrale-stato-prova.pid)"'
    wait "$controllore" 2>/dev/null
}
spento() { [ "$(dentro systemctl is-active ostrale-estensione.service)" = inactive ]; }
riacceso() { attivo && [ "$(pid_demone)" != "$1" ] && pronto; }
senza_regole() { # no chain of the daemon left (a failing iptables-save is no answer)
    local comando tabelle
    for comando in "$@"; do
        tabelle=$(dentro "$comando" 2>&1) || { echo "$comando fails: $tabelle"; return 1; }
        ! grep -q OSTRALE_ <<<"$tabelle" || { echo "$comando: $(grep OSTRALE_ <<<"$tabelle" | head -n 3)"; return 1; }
    done
}
# Its link to the daemon failing (a socket nobody serves) while systemd says the filter runs, the
# controller revives the daemon: StopUnit, then StartUnit two seconds later.
prima=$(pid_demone)
controllore "$lavoro/stato-1.log" --socket /run/ostrale-nessuno/ostrale.sock
aspetta 45 spento || sbagliato "ostrale-stato does not switch the filter off (is-active: $(dentro systemctl is-active ostrale-estensione.service))"
aspetta 30 riacceso "$prima" || sbagliato "ostrale-stato does not switch the filter on again (is-active: $(dentro systemctl is-active ostrale-estensione.service))"
ferma_controllore
grep -q "filtro: spento" "$lavoro/stato-1.log" && grep -A100 "filtro: spento" "$lavoro/stato-1.log" | grep -q "filtro: attivo" ||
    sbagliato "ostrale-stato does not see the filter off, then on: $(cat "$lavoro/stato-1.log")"
dentro journalctl -o json --no-pager SYSLOG_IDENTIFIER=it.brelt.ostrale | grep -qF "continua a fallire: la riavvio" ||
    sbagliato "the revival is not in the journal"
passo "ostrale-stato switched the filter off (inactive) and on (active, pid $prima → $(pid_demone))"

# Switched off and disabled by the administrator; the controller completes a revival that was
# interrupted at its first step: it enables the unit (EnableUnitFiles) and starts it.
dentro systemctl disable --now ostrale-estensione.service >/dev/null 2>&1
spento || sbagliato "systemctl stop leaves the unit $(dentro systemctl is-active ostrale-estensione.service)"
senza_regole iptables-save ip6tables-save >"$lavoro/regole.txt" ||
    sbagliato "rules after the service stopped: $(cat "$lavoro/regole.txt")"
# Whether a service here may load BPF programs at all: the same daemon without the unit's sandbox,
# in a network namespace of its own, for two seconds. Where it may, the unit's daemon must take
# the kernel's path to socket owners (its pins under /sys/fs/bpf/ostrale), not only the fallback.
dentro systemd-run --wait -q --unit=ostrale-sonda -p PrivateNetwork=yes \
    -p Environment="OSTRALE_SOCKET=/run/ostrale-sonda/ostrale.sock OSTRALE_CONTENITORE=/run/ostrale-sonda" \
    /usr/sbin/ostrale-estensione --sorgente netfilter --durata 2 >/dev/null 2>&1
sonda=$(dentro journalctl --no-pager -o cat -u ostrale-sonda.service | grep "^Attribution" | tail -n 1)
if [[ "$sonda" != *"noted by the kernel"* ]]; then
    echo "note: services here cannot load BPF programs (${sonda:-no answer}): the unit's attribution path is not judged"
elif [[ "$attribuzione" != *"noted by the kernel"* ]]; then
    sbagliato "the unit's sandbox keeps the daemon off the kernel's attribution, which a plain service here takes: $attribuzione"
else
    echo "attribution under the unit: ${attribuzione#Attribution: }"
fi
passo "systemctl disable --now: stopped, no rules left; the unit's attribution path"
dentro sh -c 'echo rianimazioneInCorso=true >>/root/ostrale-stato.conf'
prima=$(pid_demone)
controllore "$lavoro/stato-2.log"
aspetta 30 riacceso "$prima" || sbagliato "ostrale-stato does not switch the stopped filter on (is-active: $(dentro systemctl is-active ostrale-estensione.service))"
[ "$(dentro systemctl is-enabled ostrale-estensione.service)" = enabled ] ||
    sbagliato "switching on does not enable the unit: $(dentro systemctl is-enabled ostrale-estensione.service)"
registrata() { grep -q "registrata presso l'estensione" "$lavoro/stato-2.log"; }
aspetta 15 registrata || sbagliato "ostrale-stato does not register with the daemon it started: $(cat "$lavoro/stato-2.log")"
ferma_controllore
! grep -q rianimazioneInCorso "$radice/root/ostrale-stato.conf" || sbagliato "the revival is still marked as interrupted"
passo "ostrale-stato switched the stopped, disabled filter on (active, enabled)"

# ---- a crash: systemd restarts the daemon, and traffic flows meanwhile ----
prima=$(pid_demone)
riavvii=$(dentro systemctl show -p NRestarts --value ostrale-estensione.service)
dentro rm -f /run/prova-fine
dentro sh -c 'while [ ! -e /run/prova-fine ]; do
        t=$(date +%s%N)
        if runuser -u ammesso -- wget -q --no-hsts -T 5 -O /dev/null http://203.0.113.10/; then
            echo "$t ok"; else echo "$t fallito"; fi
        sleep 0.05
    done' >"$lavoro/ciclo.txt" 2>&1 &
ciclo=$!
aspetta 10 eval '[ "$(wc -l <"$lavoro/ciclo.txt")" -ge 3 ]' || fallito "the wget loop does not run"
ucciso=$(date +%s%N)
dentro sh -c 'kill -KILL "$1"' sh "$prima"
aspetta 30 riacceso "$prima" || sbagliato "systemd does not restart the killed daemon (is-active: $(dentro systemctl is-active ostrale-estensione.service), pid $(pid_demone))"
ripreso=$(date +%s%N)
# Filtering again: the rule held across the crash.
rifiutato || sbagliato "curl is not refused by the restarted daemon (exit $curl_esito after $curl_ms ms)"
dentro touch /run/prova-fine
wait "$ciclo"
[ "$(dentro systemctl show -p NRestarts --value ostrale-estensione.service)" = $((riavvii + 1)) ] ||
    sbagliato "NRestarts did not count the restart"
nel_mezzo=$(awk -v a="$ucciso" -v b="$ripreso" '$1 >= a && $1 <= b' "$lavoro/ciclo.txt" | wc -l)
falliti=$(grep -vc ' ok$' "$lavoro/ciclo.txt")
[ "$falliti" = 0 ] || sbagliato "$falliti of $(wc -l <"$lavoro/ciclo.txt") wget runs failed around the restart: $(grep -v ' ok$' "$lavoro/ciclo.txt" | head -n 3)"
[ "$nel_mezzo" -ge 1 ] || sbagliato "no wget ran between the kill and the restarted filter"
for comando in iptables-save ip6tables-save; do
    tabella=$(dentro "$comando" -t mangle 2>&1) || sbagliato "$comando fails: $tabella"
    salti=$(grep -c -- '-A OUTPUT -j OSTRALE_USCITA' <<<"$tabella")
    [ "$salti" = 1 ] || sbagliato "$comando: $salti jumps to OSTRALE_USCITA after the restart, not 1: $(grep -E 'OUTPUT|OSTRALE_USCITA' <<<"$tabella")"
done
# The killed daemon's pinned tuple filter is gone; the new one's is there.
if [[ "$attribuzione" == *"noted by the kernel"* ]]; then
    spilli=$(dentro ls /sys/fs/bpf/ostrale)
    [ "$(wc -w <<<"$spilli")" = 1 ] && [[ "$spilli" == *"-$(pid_demone)" ]] ||
        sbagliato "pins after the restart: $(echo $spilli) (the daemon is pid $(pid_demone))"
fi
passo "SIGKILL: restarted by systemd (pid $prima → $(pid_demone)), $nel_mezzo wget runs in between, all passed"

# ---- purge ----
dentro env DEBIAN_FRONTEND=noninteractive apt-get purge -y -o Dpkg::Use-Pty=0 ostrale >"$lavoro/purge.log" 2>&1 ||
    { tail -n 20 "$lavoro/purge.log"; sbagliato "apt-get purge ostrale"; }
aspetta 10 spento || sbagliato "the unit is still $(dentro systemctl is-active ostrale-estensione.service) after the purge"
senza_regole iptables-nft-save ip6tables-nft-save iptables-legacy-save ip6tables-legacy-save \
    >"$lavoro/regole.txt" || sbagliato "rules left by the purge: $(cat "$lavoro/regole.txt")"
if dentro sh -c 'command -v nft' >/dev/null; then
    dentro nft list ruleset | grep -q OSTRALE_ && sbagliato "nft shows chains left by the purge"
fi
dentro test -e /sys/fs/bpf/ostrale && sbagliato "/sys/fs/bpf/ostrale is left by the purge"
dentro test -e /var/lib/ostrale && sbagliato "/var/lib/ostrale is left by the purge"
dentro test -e /run/ostrale && sbagliato "/run/ostrale is left by the purge"
dentro sh -c 'grep -lx ostrale-estensi /proc/[0-9]*/comm' >/dev/null 2>&1 && sbagliato "a daemon still runs after the purge"
passo "apt-get purge: no rules, no kernel programs, no container left"

if [ "$errori" -gt 0 ]; then
    diagnosi
    echo "$errori failed"
    exit 1
fi
echo "installed system: all passed"
