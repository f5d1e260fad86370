#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates Risorse/tracker.txt from EasyPrivacy and EasyList as Debian's
# webext-ublock-origin-firefox package ships them. Keeps only plain domain rules
# ("||domain^", optionally "$third-party"), lower-cased and de-duplicated.
# Usage: strumenti/genera-tracker.sh [output]   (installs the package when missing; needs root)
set -euo pipefail

pacchetto=webext-ublock-origin-firefox
cartella="/usr/share/mozilla/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}/uBlock0@raymondhill.net/assets/thirdparties/easylist"
uscita=${1:-"$(dirname "$0")/../Risorse/tracker.txt"}

if ! dpkg-query -W -f='${Status}' "$pacchetto" 2>/dev/null | grep -q 'install ok installed'; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$pacchetto"
fi
versione=$(dpkg-query -W -f='${Version}' "$pacchetto")

for elenco in easyprivacy.txt easylist.txt; do
    [ -r "$cartella/$elenco" ] || { echo "missing $cartella/$elenco" >&2; exit 1; }
done

temporaneo=$(mktemp)
trap 'rm -f "$temporaneo"' EXIT
{
    echo "# Advertising and tracking domains: one per line, lower case."
    echo "# Extracted from EasyPrivacy and EasyList as shipped by Debian's $pacchetto $versione:"
    echo "# only the plain domain rules (||domain^ and ||domain^\$third-party)."
    echo "# EasyList and EasyPrivacy: (c) The EasyList authors, https://easylist.to/,"
    echo "# dual licensed under GPL v3 or later and CC BY-SA 3.0 or later."
    echo "# Generated on $(date -u +%Y-%m-%d) by strumenti/genera-tracker.sh; do not edit by hand."
    cat "$cartella/easyprivacy.txt" "$cartella/easylist.txt" |
        tr -d '\r' |
        grep -E '^\|\|[A-Za-z0-9.-]+\^(\$third-party)?$' |
        sed -E 's/^\|\|//; s/\^.*$//' |
        tr 'A-Z' 'a-z' |
        grep -E '^[a-z0-9-]+(\.[a-z0-9-]+)+$' |
        LC_ALL=C sort -u
} > "$temporaneo"
install -m 0644 "$temporaneo" "$uscita"
echo "$(grep -vc '^#' "$uscita") domains written to $uscita"
