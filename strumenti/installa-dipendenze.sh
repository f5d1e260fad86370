#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the project needs to build and run (MaxMind's writer among them:
# the build writes the demonstration's city database with it), and with --test also those its
# tests and benchmarks use (attack tools and servers among them: they stay out of a plain build),
# and with --deb also what `make deb` packs and checks the Debian package with.
# Idempotent and non-interactive: it asks apt only for what is missing, and refreshes the package
# lists once.
set -euo pipefail

pacchetti=(
    build-essential cmake ninja-build pkg-config clang
    nlohmann-json3-dev libsystemd-dev libicu-dev libnetfilter-queue-dev libmnl-dev libbpf-dev
    libssl-dev zlib1g-dev iptables iproute2 tzdata
    qt6-base-dev qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
    libmaxmind-db-writer-perl
)
if [ "${1:-}" = "--test" ]; then
    pacchetti+=(
        libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
        libmaxminddb-dev mmdb-bin
        conntrack curl python3 python3-cryptography openssl dnsmasq-base dnsutils iputils-ping
        nmap hydra hping3 openssh-server iodine bubblewrap squashfs-tools squashfuse
        xvfb xauth dbus-daemon
        mmdebstrap systemd-container
    )
fi
if [ "${1:-}" = "--deb" ]; then
    pacchetti+=(debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream)
fi

mancanti=()
for p in "${pacchetti[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        mancanti+=("$p")
    fi
done
[ ${#mancanti[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${mancanti[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${mancanti[@]}"
