#!/usr/bin/env bash
# The filter daemon on its simulated traffic, in a temporary container: verdicts scroll by,
# Ctrl-C stops it cleanly (its memory is saved, then the container is shown and removed).
set -euo pipefail
build=${1:-build}
contenitore=$(mktemp -d /tmp/ostrale-demo-XXXXXX)
trap 'rm -rf "$contenitore"' EXIT

cat <<MSG
Ostrale, a per-application network firewall for Linux desktops.

The filter daemon now judges a simulated desktop: browsers and everyday applications, the
system resolver, a never-seen application in quarantine, and every few minutes a scan, password
guessing, a DNS tunnel, a flood, look-alike and machine-generated names, a known
command-and-control address, lateral movement in the local network. Simulated time runs 20 times
faster, so the hour-long patterns (beacon, channel kept open, slow exfiltration) show up too.
Each line is one verdict; "ATTACCO" lines are the attack detector's findings.
Container: $contenitore        Stop with Ctrl-C.

MSG
sleep 2
status=0
"$build/Estensione/ostrale-estensione" --sorgente simulata --contenitore "$contenitore" \
    --verboso --velocita 0.5 --accelera 20 "${@:2}" || status=$?
echo
echo "Memory saved by the daemon on stop:"
ls -l "$contenitore"
exit "$status"
