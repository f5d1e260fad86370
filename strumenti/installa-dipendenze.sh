#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run. Idempotent and
# non-interactive: it asks apt only for what is missing, and refreshes the package lists once.
set -euo pipefail

pacchetti=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    nlohmann-json3-dev libsystemd-dev libicu-dev libnetfilter-queue-dev libmnl-dev libbpf-dev
    iptables iproute2 conntrack curl python3 dnsmasq-base dnsutils
    nmap hydra hping3 openssh-server
    libgtest-dev libgmock-dev libbenchmark-dev
    zlib1g-dev libmaxminddb-dev mmdb-bin libmaxmind-db-writer-perl
    xvfb xauth libssl-dev iputils-ping tzdata openssl python3-cryptography iodine bubblewrap squashfs-tools squashfuse
    qt6-base-dev qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n dbus-daemon
)

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
