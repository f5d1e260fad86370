#!/usr/bin/env bash
# What the system can show so far: the shared records and the destination classifiers.
set -euo pipefail
build=${1:-build}
cat <<'MSG'
Ostrale, a per-application network firewall for Linux desktops.

Built so far: the shared records and their JSON form, the shared container with atomic writes,
the hourly history, and the destination classifiers (local network, tracker list, command-and-
control list). The filter daemon and the simulated traffic that this demo will show come next.

The shipped tracker list, and the cost of one test against it:
MSG
"$build/bench/bench-tracker" --benchmark_min_time=0.05 --benchmark_filter='Tracker_NonInElenco/10'
