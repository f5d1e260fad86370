#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Refreshes the map's land polygons, Risorse/mappa/terre-50m.json: the 1:50m land of Natural Earth
# as the npm package world-atlas ships it (TopoJSON, read by the app as it is). Needs npm and the
# npm registry; the file is committed, so building never runs this.
set -euo pipefail
versione=${1:-2.0.2}
radice=$(cd "$(dirname "$0")/.." && pwd)
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT
(cd "$lavoro" && npm pack --silent "world-atlas@$versione" >/dev/null && tar xzf world-atlas-*.tgz)
cp "$lavoro/package/land-50m.json" "$radice/Risorse/mappa/terre-50m.json"
echo "Risorse/mappa/terre-50m.json: world-atlas $versione; keep Risorse/mappa/LICENZA.txt in step."
