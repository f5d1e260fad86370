#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The package's removal scripts (debian/ostrale.prerm, .postrm) against the real daemon, in
# namespaces of their own where it is installed as /usr/sbin/ostrale-estensione:
# - the postrm leaves a running daemon's rules and pinned filter alone;
# - the prerm ends a daemon systemd does not run, which removes its own rules on SIGTERM;
# - after a daemon was killed, the postrm removes what it left: its chains OSTRALE_*, the jumps
#   to them (which hold the NFQUEUE rules) for IPv4 and IPv6, and its pinned filter;
# - remove keeps the container /var/lib/ostrale, purge removes it.
# Usage: rimozione.sh ESTENSIONE SOURCES    Exit 0 passed, 77 skipped, else failed.
set -uo pipefail
estensione=$1
sorgenti=$2

source "$sorgenti/strumenti/spazi-di-prova.sh"
serve_root_e ip iptables ip6tables mount
nei_propri_namespace "$0" "$@"

lavoro=$(mktemp -d /tmp/ostrale-rimozione-XXXXXX)
demone=""
fine() {
    termina_namespace
    rm -rf "$lavoro"
}
trap fine EXIT
fallito() {
    echo "FAILED: $*"
    echo "--- daemon log (last lines)"; tail -n 20 "$lavoro/estensione.log" 2>/dev/null
    exit 1
}
passo() { echo "ok: $*"; }

prepara_namespace
# The installed places, in this mount namespace only: a copy of /usr/sbin with the daemon added,
# mounted over the real one, and an empty /var/lib.
mkdir "$lavoro/sbin"
cp -a /usr/sbin/. "$lavoro/sbin/"
cp "$estensione" "$lavoro/sbin/ostrale-estensione"
mount --bind "$lavoro/sbin" /usr/sbin || fallito "mounting the copy of /usr/sbin"
mount -t tmpfs tmpfs /var/lib || fallito "mounting a /var/lib of the test's own"
export OSTRALE_SOCKET=$lavoro/ostrale.sock OSTRALE_RISORSE=$sorgenti/Risorse

# Lines of the daemon's in the rules (both families, both tables), and its pinned filters.
regole() {
    local c t
    for c in iptables ip6tables; do
        for t in mangle filter; do "$c" -w -t "$t" -S; done
    done | grep -c OSTRALE_
}
pin() { find /sys/fs/bpf/ostrale -mindepth 1 2>/dev/null | wc -l; }
avvia() {
    avvia_demone /usr/sbin/ostrale-estensione "$lavoro/estensione.log" --sorgente netfilter \
        --contenitore "$lavoro/contenitore" || fallito "the daemon did not install its rules"
}
postrm() { sh "$sorgenti/debian/ostrale.postrm" "$1" || fallito "postrm $1 failed"; }

avvia
[ "$(regole)" -gt 10 ] || fallito "the daemon's rules are not there: $(regole) lines"
con_bpf=$(pin)
[ "$con_bpf" -gt 0 ] || echo "no kernel programs here: the pinned filter is not checked"

postrm remove
[ "$(regole)" -gt 10 ] || fallito "the postrm removed a running daemon's rules"
[ "$(pin)" = "$con_bpf" ] || fallito "the postrm removed a running daemon's pinned filter"
passo "a running daemon keeps its rules"

sh "$sorgenti/debian/ostrale.prerm" remove || fallito "prerm remove failed"
# A process that has ended (a zombie until waited for) has no executable any more.
readlink "/proc/$demone/exe" >/dev/null 2>&1 && fallito "the prerm left the daemon running"
wait "$demone"
esito=$?
[ "$esito" = 0 ] || fallito "the daemon ended with $esito, not by its SIGTERM"
[ "$(regole)" = 0 ] || fallito "the daemon's rules outlived it: $(regole) lines"
[ "$(pin)" = 0 ] || fallito "the daemon's pinned filter outlived it"
passo "the prerm ends the daemon, which removes its rules"

avvia
kill -KILL "$demone"
wait "$demone" 2>/dev/null
[ "$(regole)" -gt 10 ] || fallito "a killed daemon left no rules to clean: $(regole) lines"
postrm remove
[ "$(regole)" = 0 ] || fallito "after the postrm: $(for c in iptables ip6tables; do for t in mangle filter; do "$c" -w -t "$t" -S; done; done | grep OSTRALE_)"
[ ! -e /sys/fs/bpf/ostrale ] || fallito "after the postrm /sys/fs/bpf/ostrale holds: $(ls /sys/fs/bpf/ostrale)"
passo "the postrm removes what a killed daemon left"

mkdir -p /var/lib/ostrale
echo '{}' >/var/lib/ostrale/regole.json
postrm remove
[ -f /var/lib/ostrale/regole.json ] || fallito "remove took the container"
postrm purge
[ ! -e /var/lib/ostrale ] || fallito "purge left /var/lib/ostrale"
passo "purge, and only purge, removes the container"
echo "removal: all passed"
