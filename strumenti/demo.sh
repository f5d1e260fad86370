#!/usr/bin/env bash
# The filter daemon on its simulated traffic, in a temporary container, and `ostralectl flussi
# --segui` beside it showing the verdicts as the app would receive them over the local channel.
# Ctrl-C stops both cleanly: the daemon saves its memory, then the container is shown and removed.
set -euo pipefail
build=${1:-build}
contenitore=$(mktemp -d /tmp/ostrale-demo-XXXXXX)
export OSTRALE_SOCKET="$contenitore/ostrale.sock"
demone=""
fine() {
    if [ -n "$demone" ] && kill -0 "$demone" 2>/dev/null; then
        kill -TERM "$demone"
        wait "$demone" || true
        echo
        echo "Memory saved by the daemon on stop:"
        ls -l "$contenitore"
    fi
    rm -rf "$contenitore"
}
trap fine EXIT
trap 'exit 0' INT TERM

cat <<MSG
Ostrale, a per-application network firewall for Linux desktops.

The filter daemon judges a simulated desktop: browsers and everyday applications, the system
resolver, a never-seen application in quarantine, and every few minutes a scan, password
guessing, a DNS tunnel, a flood, look-alike and machine-generated names, a known
command-and-control address, lateral movement in the local network. Simulated time runs 20 times
faster, so the hour-long patterns (beacon, channel kept open, slow exfiltration) show up too.
Below, ostralectl follows the verdicts over the daemon's local socket; "ATTACCO" lines are the
attack detector's findings. Daemon log: $contenitore/estensione.log      Stop with Ctrl-C.

MSG
"$build/Estensione/ostrale-estensione" --sorgente simulata --contenitore "$contenitore" \
    --velocita 0.5 --accelera 20 "${@:2}" 2>"$contenitore/estensione.log" &
demone=$!
for _ in $(seq 50); do [ -S "$OSTRALE_SOCKET" ] && break; sleep 0.1; done
"$build/ostralectl/ostralectl" flussi --segui || true
