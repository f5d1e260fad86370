#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The translation tables are up to date with the sources and complete: lupdate over the sources
# changes neither table, no English entry is unfinished or empty, and the keys that are
# identifiers rather than texts have an Italian entry too.
# Usage: controlla.sh LUPDATE SOURCE_DIR
set -euo pipefail
lupdate=$1
radice=$2
tabelle=$radice/Risorse/traduzioni
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT

cp "$tabelle"/ostrale_it.ts "$tabelle"/ostrale_en.ts "$lavoro"/
"$lupdate" -silent -I "$radice" -locations none -no-obsolete -no-ui-lines -extensions cpp,h \
    "$radice"/Ostrale -ts "$lavoro"/ostrale_it.ts "$lavoro"/ostrale_en.ts
esito=0
for t in it en; do
    if ! diff -u "$tabelle/ostrale_$t.ts" "$lavoro/ostrale_$t.ts"; then
        echo "ostrale_$t.ts is stale: run 'cmake --build build --target traduzioni'" >&2
        esito=1
    fi
done

python3 - "$tabelle" <<'PY' || esito=1
import re, sys, xml.etree.ElementTree as ET
tabelle = sys.argv[1]
chiavi = re.compile(r'^(attacco_|spiega_|corpo_avviso_|prompt_)[a-z_]+$')
errori = []
for lingua in ('en', 'it'):
    for contesto in ET.parse(f'{tabelle}/ostrale_{lingua}.ts').getroot().iter('context'):
        nome = contesto.findtext('name')
        for m in contesto.iter('message'):
            sorgente = m.findtext('source') or ''
            t = m.find('translation')
            forme = [t.text] if t is not None and m.get('numerus') != 'yes' else \
                [f.text for f in t.iter('numerusform')] if t is not None else []
            vuota = t is None or t.get('type') in ('unfinished', 'vanished', 'obsolete') or \
                not forme or not all((f or '').strip() for f in forme)
            if vuota and (lingua == 'en' or chiavi.match(sorgente)):
                errori.append(f'ostrale_{lingua}.ts: {nome}: "{sorgente}" has no translation')
            elif not vuota:
                # The placeholders of the source must all be kept.
                attesi = set(re.findall(r'%[\dn]', sorgente))
                if sorgente.startswith('corpo_avviso_'):
                    attesi = {'%1', '%2', '%3', '%4'}
                elif sorgente == 'prompt_spiegami':
                    attesi = {f'%{i}' for i in range(1, 8)}
                if any(attesi != set(re.findall(r'%[\dn]', f)) for f in forme):
                    errori.append(f'ostrale_{lingua}.ts: {nome}: "{sorgente}" changes its placeholders')
for e in errori:
    print(e, file=sys.stderr)
sys.exit(1 if errori else 0)
PY
exit $esito
