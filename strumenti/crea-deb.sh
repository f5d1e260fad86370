#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package in a copy of the sources of its own, so that the working tree and its
# build folders stay as they are, and checks it with lintian. In FOLDER (default build-deb/):
# ostrale_VERSION_ARCH.deb (and its -dbgsym, .changes, .buildinfo), lintian.txt, and the copy
# the package was built from, ostrale-VERSION/. Needs what `make deb` installs first.
# Usage: strumenti/crea-deb.sh [FOLDER]
set -euo pipefail
radice=$(cd "$(dirname "$0")/.." && pwd)
uscita=$(realpath -m "${1:-$radice/build-deb}")
versione=$(dpkg-parsechangelog -l "$radice/debian/changelog" -S Version)
sorgenti=$uscita/ostrale-$versione

rm -rf "$uscita"
mkdir -p "$sorgenti"
# The sources as git sees them (committed and new files, never ignored ones such as build trees);
# without git, everything but the build folders.
if git -C "$radice" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$radice" ls-files -z --cached --others --exclude-standard |
        tar -C "$radice" --null --no-recursion --ignore-failed-read -T - -cf - 2>/dev/null |
        tar -C "$sorgenti" -xf -
else
    tar -C "$radice" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$sorgenti" -xf -
fi

inizio=$(date +%s)
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=$(nproc)}"
(cd "$sorgenti" && dpkg-buildpackage -us -uc -b)
echo "crea-deb: built in $(($(date +%s) - inizio)) s"

# Lintian's findings, errors, warnings and the informative ones; an error fails the build.
esito=0
lintian --display-info --fail-on error "$uscita"/ostrale_"$versione"_*.changes \
    >"$uscita/lintian.txt" 2>&1 || esito=$?
cat "$uscita/lintian.txt"
[ "$esito" -eq 0 ] || { echo "crea-deb: lintian found errors" >&2; exit 1; }
ls -1 "$uscita"/ostrale_"$versione"_*.deb
