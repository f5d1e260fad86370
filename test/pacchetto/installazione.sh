#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `cmake --install` of a build under another prefix (/opt/ostrale) into a temporary DESTDIR: the
# unit starts the daemon installed under that prefix; the programs, the desktop entry, AppStream
# data, icon, data, translations, documentation and system files are all there and valid; the
# world map's data stay in the app; the package's version is the project's; and the installed
# daemon finds its shipped lists there.
# Usage: installazione.sh BUILD SOURCES VERSION
#        Exit 0 passed, else failed.
set -uo pipefail
build=$1
sorgenti=$2
versione=$3
prefisso=/opt/ostrale

lavoro=$(mktemp -d /tmp/ostrale-installazione-XXXXXX)
demone=""
fine() {
    [ -n "$demone" ] && kill -TERM "$demone" 2>/dev/null && wait "$demone" 2>/dev/null
    rm -rf "$lavoro"
}
trap fine EXIT
errori=0
sbagliato() { echo "FAILED: $*"; errori=$((errori + 1)); }
passo() { echo "ok: $*"; }
radice=$lavoro/radice
qui=$radice$prefisso

if ! DESTDIR=$radice cmake --install "$build" --prefix "$prefisso" >"$lavoro/install.log" 2>&1; then
    cat "$lavoro/install.log"
    echo "FAILED: cmake --install"
    exit 1
fi
passo "cmake --install --prefix $prefisso"

# The unit runs the daemon of this prefix, and points at this prefix's documentation.
unita=$qui/lib/systemd/system/ostrale-estensione.service
if [ -f "$unita" ]; then
    eseguito=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unita")
    [ "$eseguito" = "$prefisso/sbin/ostrale-estensione" ] ||
        sbagliato "the unit's ExecStart names '$eseguito', not $prefisso/sbin/ostrale-estensione"
    [ -x "$radice$eseguito" ] || sbagliato "the unit's program $eseguito is not installed"
    documentazione=$(sed -n 's|^Documentation=file://||p' "$unita")
    [ -f "$radice$documentazione" ] || sbagliato "the unit's documentation $documentazione is missing"
    ! grep -qE '@[A-Z_]+@' "$unita" ||
        sbagliato "the unit keeps a placeholder: $(grep -E '@[A-Z_]+@' "$unita")"
    passo "the unit: $(grep '^ExecStart=' "$unita")"
else
    sbagliato "no unit at ${unita#"$radice"}"
fi

for file in bin/ostrale bin/ostralectl bin/ostrale-stato sbin/ostrale-estensione; do
    [ -x "$qui/$file" ] || sbagliato "$file is not installed"
done
for file in share/ostrale/tracker.txt share/ostrale/c2.txt share/ostrale/icone/ostrale.svg \
    share/ostrale/traduzioni/ostrale_en.qm share/ostrale/traduzioni/ostrale_it.qm \
    share/doc/ostrale/README.md share/doc/ostrale/LICENSE share/doc/ostrale/mappa-LICENZA.txt \
    lib/sysusers.d/ostrale.conf lib/tmpfiles.d/ostrale.conf share/polkit-1/rules.d/50-ostrale.rules; do
    [ -f "$qui/$file" ] || sbagliato "$file is not installed"
done
# The map is compiled into the app; the translations' sources stay in the repository.
[ ! -e "$qui/share/ostrale/mappa" ] || sbagliato "share/ostrale/mappa is installed"
[ -z "$(find "$qui" -name '*.ts')" ] || sbagliato "translation sources installed: $(find "$qui" -name '*.ts')"
passo "programs, data, documentation and system files"

# The desktop entry starts an installed program and shows an installed icon.
voce=$qui/share/applications/it.brelt.ostrale.desktop
if [ -f "$voce" ]; then
    comando=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$voce")
    [ -x "$qui/bin/$comando" ] || sbagliato "the desktop entry runs '$comando', which is not installed"
    icona=$(sed -n 's/^Icon=//p' "$voce")
    [ -f "$qui/share/icons/hicolor/scalable/apps/$icona.svg" ] ||
        sbagliato "the desktop entry's icon '$icona' is not in the hicolor theme"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$voce" || sbagliato "desktop-file-validate"
    else
        echo "desktop-file-validate missing: the entry's syntax is not checked"
    fi
    passo "the desktop entry"
else
    sbagliato "no desktop entry"
fi

# AppStream: the component launches that entry, and its newest release is this version.
metainfo=$qui/share/metainfo/it.brelt.ostrale.metainfo.xml
if [ -f "$metainfo" ]; then
    lanciato=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
    [ -f "$qui/share/applications/$lanciato" ] || sbagliato "AppStream launches '$lanciato', not installed"
    rilascio=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
    [ "$rilascio" = "$versione" ] || sbagliato "AppStream's newest release is '$rilascio', the project $versione"
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$metainfo" >"$lavoro/appstream.log" 2>&1 ||
            sbagliato "appstreamcli validate: $(cat "$lavoro/appstream.log")"
    fi
    passo "the AppStream data"
else
    sbagliato "no AppStream data"
fi

# The Debian package's version is the project's.
pacchetto=$(sed -n '1s/^ostrale (\([^)]*\)).*/\1/p' "$sorgenti/debian/changelog")
[ "${pacchetto%%-*}" = "$versione" ] || sbagliato "debian/changelog says '$pacchetto', the project $versione"

# Manual pages and shell completions the repository has are installed.
for pagina in "$sorgenti"/pacchetto/man/*.[0-9]; do
    [ -e "$pagina" ] || continue
    sezione=${pagina##*.}
    [ -f "$qui/share/man/man$sezione/$(basename "$pagina")" ] ||
        sbagliato "the manual page $(basename "$pagina") is not installed"
done
for completamento in ostralectl.bash:bash-completion/completions/ostralectl \
    _ostralectl:zsh/vendor-completions/_ostralectl \
    ostralectl.fish:fish/vendor_completions.d/ostralectl.fish; do
    [ -e "$sorgenti/pacchetto/completamenti/${completamento%%:*}" ] || continue
    [ -f "$qui/share/${completamento#*:}" ] || sbagliato "share/${completamento#*:} is not installed"
done

# The installed daemon reads the lists it ships from beside itself: none is reported missing.
if [ -S /run/systemd/journal/socket ]; then
    echo "the daemon logs to journald here: its start is not read"
else
    env -u OSTRALE_RISORSE OSTRALE_SOCKET="$lavoro/ostrale.sock" \
        "$qui/sbin/ostrale-estensione" --sorgente simulata --contenitore "$lavoro/contenitore" \
        --velocita 1 >/dev/null 2>"$lavoro/estensione.log" &
    demone=$!
    for _ in $(seq 300); do [ -S "$lavoro/ostrale.sock" ] && break; sleep 0.1; done
    if [ -S "$lavoro/ostrale.sock" ]; then
        ! grep -q "shipped" "$lavoro/estensione.log" ||
            sbagliato "the installed daemon misses its data: $(grep shipped "$lavoro/estensione.log")"
        passo "the installed daemon starts with its data"
    else
        sbagliato "the installed daemon did not serve its socket in 30 s: $(cat "$lavoro/estensione.log")"
    fi
fi

if [ "$errori" -gt 0 ]; then
    echo "$errori failed"
    exit 1
fi
echo "installation: all passed"
