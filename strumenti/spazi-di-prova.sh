# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that build small networks of namespaces (network tests, the latency
# benchmark): the move into fresh namespaces, and a peer host of its own.

# Exits 77 (skipped) unless the calling script runs as root with every command named here.
# Usage: serve_root_e ip iptables ...
serve_root_e() {
    local nome p
    nome=$(basename "$0")
    if [ "$(id -u)" != 0 ]; then echo "$nome: skipped, needs root"; exit 77; fi
    for p in "$@"; do
        command -v "$p" >/dev/null || { echo "$nome: skipped, $p is missing"; exit 77; }
    done
}

# Re-runs the calling script as the first process of fresh network, PID and mount namespaces,
# unless it already runs there: every process it starts dies with it, whatever way it ends.
# Usage: nei_propri_namespace "$0" "$@"
nei_propri_namespace() {
    [ -n "${OSTRALE_NAMESPACE_DI_PROVA:-}" ] && return 0
    OSTRALE_NAMESPACE_DI_PROVA=1 exec unshare --net --pid --fork --mount-proc --kill-child "$@"
}

# In them: loopback up, and a bpffs of this mount namespace, so that the daemon's pins go with
# it.
prepara_namespace() {
    mount -t bpf bpf /sys/fs/bpf 2>/dev/null || true
    ip link set lo up
}

# Starts a host in a network namespace of its own, held by a process that waits. Sets
# `custode` (the background job) and `vicino` (the pid whose namespace it is), once that
# namespace exists.
avvia_vicino() {
    unshare --net --fork --kill-child sleep 86400 &
    custode=$!
    vicino=""
    local figlio
    for _ in $(seq 100); do
        figlio=$(pgrep -P "$custode" sleep || true)
        if [ -n "$figlio" ] && [ "$(readlink "/proc/$figlio/ns/net")" != "$(readlink /proc/self/ns/net)" ]; then
            vicino=$figlio
            return 0
        fi
        sleep 0.05
    done
    echo "the peer namespace did not come up"
    exit 1
}

# Links this namespace to the peer host's (`vicino`) with a veth pair, veth-p here and veth-i
# there, with the addresses given: this side's, then "--", then the peer's. Both ends and the
# peer's loopback come up. Usage: collega_vicino 203.0.113.2/24 -- 203.0.113.1/24 ...
collega_vicino() {
    local qui=() la=() a
    while [ $# -gt 0 ] && [ "$1" != -- ]; do qui+=("$1"); shift; done
    [ "${1:-}" = -- ] && shift
    la=("$@")
    ip link add veth-p type veth peer name veth-i netns "$vicino" || return 1
    for a in "${qui[@]}"; do ip addr add "$a" dev veth-p nodad || return 1; done
    ip link set veth-p up
    nsenter --net="/proc/$vicino/ns/net" ip link set lo up
    for a in "${la[@]}"; do nsenter --net="/proc/$vicino/ns/net" ip addr add "$a" dev veth-i nodad || return 1; done
    nsenter --net="/proc/$vicino/ns/net" ip link set veth-i up
}

# Starts the daemon with the arguments given, its output appended to LOG, and returns once this
# run (not an earlier one logging to the same file) has installed its rules; non-zero if it does
# not within 10 s. Sets `demone`. Usage: avvia_demone ESTENSIONE LOG ARG...
avvia_demone() {
    local eseguibile=$1 log=$2 prima adesso
    shift 2
    prima=$(grep -c "Netfilter rules installed" "$log" 2>/dev/null)
    "$eseguibile" "$@" >>"$log" 2>&1 &
    demone=$!
    for _ in $(seq 200); do
        adesso=$(grep -c "Netfilter rules installed" "$log" 2>/dev/null)
        [ "${adesso:-0}" -gt "${prima:-0}" ] && return 0
        sleep 0.05
    done
    return 1
}

# Kills every other process of the namespaces (for an exit trap).
termina_namespace() {
    [ -n "${OSTRALE_NAMESPACE_DI_PROVA:-}" ] && [ $$ = 1 ] && kill -KILL -1 2>/dev/null
    wait 2>/dev/null
}

# ---- a test's folder, its end, and how it reports ----
# lavoro_di_prova NAME: $lavoro, a folder of the test's own under /tmp that the users the test
# runs programs as can read, and the test's end on exit (fine_prova). $demone is the daemon's pid
# once the test starts one.
lavoro_di_prova() {
    lavoro=$(mktemp -d "/tmp/ostrale-$1-XXXXXX")
    chmod 755 "$lavoro"
    demone=""
    trap fine_prova EXIT
}

# The daemon stopped (it removes its rules); everything else lives in the namespaces and ends
# with them, but not before the files go; then what the test's own `pulisci_anche` undoes, if it
# has one; then the folder.
fine_prova() {
    [ -n "$demone" ] && kill -TERM "$demone" 2>/dev/null && wait "$demone" 2>/dev/null
    termina_namespace
    declare -F pulisci_anche >/dev/null && pulisci_anche
    rm -rf "$lavoro"
}

# A failed check: its line, what the test's own `mostra_fallimento` shows (else the daemon's
# last log lines), and exit 1.
fallito() {
    echo "FAILED: $*"
    if declare -F mostra_fallimento >/dev/null; then
        mostra_fallimento
    else
        echo "--- daemon log (last lines)"; tail -n 30 "$lavoro/estensione.log" 2>/dev/null
    fi
    exit 1
}

passo() { echo "ok: $*"; }
