#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Application identities that a local user cannot forge, on real traffic in namespaces made
# here: a sandbox's own /.flatpak-info written by an unprivileged user (bubblewrap), a cgroup
# named like a snap's, a program mounted over a system path in a user's own namespace, a
# user-writable file under a system folder; and the names that must hold: a real Flatpak
# deployment, an AppImage's image file, a program at a path that is not UTF-8 (its question
# answered by the name shown).
# Usage: identita.sh ESTENSIONE OSTRALECTL OSTRALE-STATO    Exit 0 passed, 77 skipped, else failed.
set -uo pipefail
estensione=$1
ctl=$2
app=$3
qui=$(dirname "$(readlink -f "$0")")

source "$qui/../../strumenti/spazi-di-prova.sh"
serve_root_e ip iptables curl bwrap setpriv mksquashfs squashfuse findmnt /usr/bin/python3
nei_propri_namespace "$0" "$@"

lavoro_di_prova identita
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
export OSTRALE_IMPOSTAZIONI=$lavoro/ostrale.conf
mkdir -p "$OSTRALE_CONTENITORE" "$lavoro/bin"
montaggi=()
cgroup=""
pulisci_anche() {
    for m in "${montaggi[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null; rm -rf "$m" 2>/dev/null; done
    [ -n "$cgroup" ] && rmdir "$cgroup" 2>/dev/null
}
mostra_fallimento() {
    echo "--- daemon log (last lines)"; tail -n 30 "$lavoro/estensione.log" 2>/dev/null
    cp "$lavoro/estensione.log" /tmp/identita-estensione.log 2>/dev/null
}

# ---- the network: one "Internet" host serving HTTP ----
prepara_namespace
avvia_vicino
collega_vicino 203.0.113.2/24 -- 203.0.113.1/24 || fallito "the peer's link"
nsenter --net="/proc/$vicino/ns/net" /usr/bin/python3 -m http.server 80 --bind 0.0.0.0 >/dev/null 2>&1 &
for _ in $(seq 50); do curl -s -o /dev/null -m 1 http://203.0.113.1/ && break; sleep 0.1; done

regole() { "$ctl" regole "$@" >/dev/null 2>&1 || [ $? = 1 ] || fallito "ostralectl regole $*"; }
avvia_demone "$estensione" "$lavoro/estensione.log" --sorgente netfilter --verboso || fallito "the daemon did not start"
# The newest flow of the application `$1`, as JSON.
flusso() { "$ctl" --json flussi | tr '}' '\n' | grep -F "\"firmaApp\":\"$1\"" | tail -n 1; }
# Whether the newest flow of `$1` matches `$2`, waiting up to 5 s for it to be recorded (a
# verdict's bookkeeping may come a moment after the verdict).
ha_flusso() { for _ in $(seq 300); do flusso "$1" | grep -q -- "$2" && return 0; sleep 0.1; done; return 1; }
# Runs `$@` and says whether its HTTP request reached the server.
raggiunge() { "$@" -s -o /dev/null -m 5 http://203.0.113.1/; }
# As an unprivileged user with no account (uid 12345), in a bubblewrap sandbox whose /usr is the
# machine's; the further arguments before the command are bubblewrap's.
utente=12345
sandbox() {
    setpriv --reuid $utente --regid $utente --clear-groups \
        bwrap --unshare-user --unshare-pid --ro-bind /usr /usr --symlink usr/lib /lib \
        --symlink usr/lib64 /lib64 --symlink usr/bin /bin --symlink usr/sbin /sbin \
        --ro-bind /etc /etc --proc /proc --dev /dev "$@"
}
regole imposta bloccaSconosciute sì

# ---- Flatpak: the sandbox's word counts only with the application's deployed files ----
for nome in com.apple.forgiato org.example.Permessa; do
    printf '[Application]\nname=%s\n' "$nome" >"$lavoro/info-$nome"
done
chmod 644 "$lavoro"/info-*
regole app org.example.Permessa consenti
for nome in com.apple.forgiato org.example.Permessa; do
    raggiunge sandbox --ro-bind "$lavoro/info-$nome" /.flatpak-info /usr/bin/curl \
        && fallito "a forged /.flatpak-info ($nome) lets its program through"
done
"$ctl" --json flussi | grep -q 'com.apple.forgiato\|org.example.Permessa' \
    && fallito "a forged Flatpak id names a flow"
[ "$("$ctl" --json flussi | tr '}' '\n' | grep -c '"firmaApp":"/usr/bin/curl"')" -ge 2 ] \
    || fallito "both sandboxes ran their program"
ha_flusso /usr/bin/curl '"consentito":false' || fallito "the forger is named by its executable and refused"
# A real deployment of a system installation (this namespace's own /var/lib/flatpak).
mkdir -p /var/lib/flatpak && mount -t tmpfs tmpfs /var/lib/flatpak || fallito "a private /var/lib/flatpak"
distribuzione=/var/lib/flatpak/app/org.example.Permessa/x86_64/stable/0a1b2c3d
mkdir -p "$distribuzione/files/bin"
ln -s 0a1b2c3d /var/lib/flatpak/app/org.example.Permessa/x86_64/stable/active
cp "$(readlink -f /usr/bin/curl)" "$distribuzione/files/bin/curl"
chmod -R a+rX /var/lib/flatpak
raggiunge sandbox --ro-bind "$distribuzione/files" /app --ro-bind "$lavoro/info-org.example.Permessa" \
    /.flatpak-info /app/bin/curl || fallito "the deployed application, allowed by its rule, passes"
ha_flusso org.example.Permessa '"consentito":true' || fallito "its flow is named by its Flatpak id"
# A user's own installation, in a home reached through a link of root's (as /home -> var/home),
# for a user with an account (this namespace's own /etc/passwd).
cp /etc/passwd "$lavoro/passwd"
echo "prova:x:12346:12346::$lavoro/case/prova:/bin/sh" >>"$lavoro/passwd"
mount --bind "$lavoro/passwd" /etc/passwd || fallito "a private /etc/passwd"
mkdir -p "$lavoro/casa-vera/prova" && ln -s casa-vera "$lavoro/case"
propria=$lavoro/casa-vera/prova/.local/share/flatpak/app/org.example.Utente/x86_64/stable
mkdir -p "$propria/5e6f/files/bin" && ln -s 5e6f "$propria/active"
cp "$(readlink -f /usr/bin/curl)" "$propria/5e6f/files/bin/curl"
printf '[Application]\nname=org.example.Utente\n' >"$lavoro/info-utente" && chmod 644 "$lavoro/info-utente"
chown -R 12346:12346 "$lavoro/casa-vera/prova" && chmod -R a+rX "$lavoro/casa-vera"
regole app org.example.Utente consenti
utente=12346 raggiunge sandbox --ro-bind "$propria/active/files" /app --ro-bind "$lavoro/info-utente" /.flatpak-info \
    /app/bin/curl || fallito "an application of the user's own installation, allowed by its rule, passes"
ha_flusso org.example.Utente '"consentito":true' || fallito "its flow is named by its Flatpak id"
# The user's own program at /app of a sandbox that names that application.
cp "$(readlink -f /usr/bin/curl)" "$lavoro/bin/curl" && mkdir -p "$lavoro/app/bin" && chmod -R a+rX "$lavoro"
cp "$lavoro/bin/curl" "$lavoro/app/bin/curl"
raggiunge sandbox --ro-bind "$lavoro/app" /app --ro-bind "$lavoro/info-org.example.Permessa" \
    /.flatpak-info /app/bin/curl && fallito "a program outside the deployment takes its id"
ha_flusso '?/app/bin/curl' '"consentito":false' || fallito "and is named by its path, marked as not this machine's"
passo "Flatpak ids only for the application's deployed files"

# ---- a program replaced on disk while it runs, in a namespace of its own ----
# (as a service with a private namespace during an upgrade): it keeps the name it started with.
cp "$(readlink -f /usr/bin/bash)" "$lavoro/bin/servizio" && chmod 755 "$lavoro/bin/servizio"
regole app "$lavoro/bin/servizio" consenti
sandbox --ro-bind "$lavoro" "$lavoro" "$lavoro/bin/servizio" -c \
    'sleep 1.5; exec 3<>/dev/tcp/203.0.113.1/80 && printf "GET / HTTP/1.0\r\n\r\n" >&3 && read -r riga <&3 && [ -n "$riga" ]' &
servizio=$!
sleep 0.7
rm "$lavoro/bin/servizio" && cp "$(readlink -f /usr/bin/bash)" "$lavoro/bin/servizio"
wait "$servizio" || fallito "a program replaced on disk since it started loses its rule"
ha_flusso "$lavoro/bin/servizio" '"consentito":true' || fallito "it keeps its name"
passo "a program replaced on disk keeps the name it was verified under"

# ---- Snap: a cgroup's name is no identity ----
radice=$(findmnt -t cgroup2 -n -o TARGET | head -n 1)
[ -n "$radice" ] || fallito "no cgroup2 mount"
cgroup=$radice/snap.firefox.x
mkdir "$cgroup" || fallito "a cgroup named snap.firefox.x"
regole app firefox consenti
sh -c 'echo $$ >"$1/cgroup.procs" && grep -q snap.firefox.x /proc/self/cgroup && touch "$3" && exec "$2" -s -o /dev/null -m 5 http://203.0.113.1/' \
    _ "$cgroup" "$lavoro/bin/curl" "$lavoro/spostato" && fallito "a process in a cgroup named like firefox's snap is allowed"
[ -e "$lavoro/spostato" ] || fallito "the process was not moved into the cgroup"
grep -q snap.firefox.x /proc/self/cgroup && fallito "this script moved itself"
ha_flusso "$lavoro/bin/curl" '"consentito":false' || fallito "it is named by its executable"
"$ctl" --json flussi | grep -q '"firmaApp":"firefox"' && fallito "a flow is named firefox"
passo "a cgroup named like a snap's names nothing"

# ---- the system's own programs ----
# This namespace's /usr/libexec: a root-owned program, and one its user may change.
mount -t tmpfs tmpfs /usr/libexec || fallito "a private /usr/libexec"
mkdir -p /usr/libexec/prova
cp "$lavoro/bin/curl" /usr/libexec/prova/fidato
cp "$lavoro/bin/curl" /usr/libexec/prova/altrui
chown "$utente:$utente" /usr/libexec/prova/altrui
chmod 755 /usr/libexec/prova /usr/libexec/prova/*
raggiunge /usr/libexec/prova/fidato || fallito "a root-owned program of the system's passes"
ha_flusso /usr/libexec/prova/fidato '"motivo":"sistema"' || fallito "as the system's"
raggiunge /usr/libexec/prova/altrui && fallito "a program its user may change is trusted as the system's"
ha_flusso '?/usr/libexec/prova/altrui' '"consentito":false' || fallito "it is marked and refused"
# A user's own program mounted over the system's path, in the user's own namespace (a copy never
# run before: one already seen is named by where it was seen).
cp "$lavoro/bin/curl" "$lavoro/bin/falso"
raggiunge sandbox --ro-bind "$lavoro/bin/falso" /usr/libexec/prova/fidato /usr/libexec/prova/fidato \
    && fallito "a program mounted over a system path passes as the system's"
ha_flusso '?/usr/libexec/prova/fidato' '"consentito":false' || fallito "it is named as not that path"
# A program run from a mount that is then detached (umount -l): the kernel shows its path from
# the detached mount's own root, here a system path, root-owned.
mkdir -p "$lavoro/sistema-finto/usr/libexec/prova" "$lavoro/stacco"
cp "$(readlink -f /usr/bin/bash)" "$lavoro/sistema-finto/usr/libexec/prova/fidato"
mksquashfs "$lavoro/sistema-finto" "$lavoro/finto.squashfs" -quiet -noappend -all-root >/dev/null || fallito "mksquashfs"
mount -t squashfs -o loop,ro "$lavoro/finto.squashfs" "$lavoro/stacco" || fallito "mount the image"
"$lavoro/stacco/usr/libexec/prova/fidato" -c \
    'sleep 1.5; exec 3<>/dev/tcp/203.0.113.1/80 && printf "GET / HTTP/1.0\r\n\r\n" >&3 && read -r riga <&3 && [ -n "$riga" ]' &
staccato=$!
sleep 0.5
umount -l "$lavoro/stacco" || fallito "detach the mount"
wait "$staccato" && fallito "a program on a detached mount passes as the system's"
[ "$("$ctl" --json flussi | tr '}' '\n' | grep -F '"firmaApp":"?/usr/libexec/prova/fidato"' | grep -c '"consentito":false')" = 2 ] \
    || fallito "it is named as not that path"
passo "system trust only for root's own files at their real paths"

# ---- an AppImage is named by its image ----
mkdir -p "$lavoro/immagine/usr/bin"
cp "$lavoro/bin/curl" "$lavoro/immagine/usr/bin/curl"
mksquashfs "$lavoro/immagine" "$lavoro/Prova.AppImage" -quiet -noappend >/dev/null || fallito "mksquashfs"
monta() {
    mkdir -p "$1" && mount -t squashfs -o loop,ro "$lavoro/Prova.AppImage" "$1" || fallito "mount the image at $1"
    montaggi+=("$1")
}
monta /tmp/.mount_ProvaAb12cd
APPIMAGE=$lavoro/Prova.AppImage raggiunge /tmp/.mount_ProvaAb12cd/usr/bin/curl \
    && fallito "an AppImage unknown to the rules passes"
ha_flusso "$lavoro/Prova.AppImage" . || fallito "its flow is named by the image file"
regole app "$lavoro/Prova.AppImage" consenti
# Run again from another random mount: the rule holds.
monta /tmp/.mount_ProvaEf34gh
APPIMAGE=$lavoro/Prova.AppImage raggiunge /tmp/.mount_ProvaEf34gh/usr/bin/curl \
    || fallito "the rule made for the image holds at its next mount"
# A user's own file mounted over one of the image's, in a namespace of the user's: the real
# /tmp/.mount_Mia here holds that file at the same path, and the image is mounted above it there.
mkdir -p /tmp/.mount_MiaQr90st/usr/bin && montaggi+=(/tmp/.mount_MiaQr90st)
cp "$lavoro/bin/curl" /tmp/.mount_MiaQr90st/usr/bin/curl
chown -R "$utente" /tmp/.mount_MiaQr90st && chmod -R a+rX /tmp/.mount_MiaQr90st
APPIMAGE=$lavoro/Prova.AppImage raggiunge sandbox --dir /tmp --ro-bind /tmp/.mount_ProvaEf34gh /tmp/.mount_MiaQr90st \
    --ro-bind /tmp/.mount_MiaQr90st/usr/bin/curl /tmp/.mount_MiaQr90st/usr/bin/curl /tmp/.mount_MiaQr90st/usr/bin/curl \
    && fallito "a file of the user's over the image's takes the image's name"
ha_flusso /tmp/.mount_MiaQr90st/usr/bin/curl '"consentito":false' || fallito "it is named by its own path"
# An environment that names another file is not believed.
APPIMAGE=/usr/libexec/prova/fidato raggiunge /tmp/.mount_ProvaEf34gh/usr/bin/curl \
    && fallito "APPIMAGE naming a system program is believed"
ha_flusso /tmp/.mount_ProvaEf34gh/usr/bin/curl '"consentito":false' || fallito "it is named by its executable"
# As AppImages run: the image itself (its runtime, here squashfuse with the AppImage mark) serves
# the mount over FUSE.
cp "$(command -v squashfuse)" "$lavoro/Vera.AppImage"
printf 'AI\002' | dd of="$lavoro/Vera.AppImage" bs=1 seek=8 conv=notrunc 2>/dev/null
cp "$lavoro/Vera.AppImage" "$lavoro/Ferma.AppImage"
mkdir -p /tmp/.mount_VeraIj56kl && montaggi+=(/tmp/.mount_VeraIj56kl)
"$lavoro/Vera.AppImage" "$lavoro/Prova.AppImage" /tmp/.mount_VeraIj56kl || fallito "the image's FUSE server"
regole app "$lavoro/Vera.AppImage" consenti
APPIMAGE=$lavoro/Vera.AppImage raggiunge /tmp/.mount_VeraIj56kl/usr/bin/curl \
    || fallito "an AppImage whose runtime serves its mount is named by its image"
ha_flusso "$lavoro/Vera.AppImage" '"consentito":true' || fallito "and allowed by the image's rule"
# The same bytes, not running: it serves no mount.
APPIMAGE=$lavoro/Ferma.AppImage raggiunge /tmp/.mount_VeraIj56kl/usr/bin/curl \
    && fallito "an image that serves no mount is believed"
ha_flusso /tmp/.mount_VeraIj56kl/usr/bin/curl '"consentito":false' || fallito "it is named by its executable"
# The image runs, but another server (plain squashfuse) serves this mount.
mkdir -p /tmp/.mount_FalsaMn78op && montaggi+=(/tmp/.mount_FalsaMn78op)
squashfuse "$lavoro/Prova.AppImage" /tmp/.mount_FalsaMn78op || fallito "another FUSE server"
APPIMAGE=$lavoro/Vera.AppImage raggiunge /tmp/.mount_FalsaMn78op/usr/bin/curl \
    && fallito "a mount the image does not serve takes its name"
ha_flusso /tmp/.mount_FalsaMn78op/usr/bin/curl '"consentito":false' || fallito "it is named by its executable"
passo "an AppImage named by its image file"

# ---- a FUSE server that never answers cannot stall the daemon ----
# A user's program whose path, in the daemon's namespace, lies inside a FUSE mount whose server
# is stopped: a lookup there would wait forever, and every flow of the machine with it.
mkdir -p "$lavoro/congelato" && montaggi+=("$lavoro/congelato")
squashfuse "$lavoro/Prova.AppImage" "$lavoro/congelato" || fallito "the FUSE mount"
server=$(pgrep -f "squashfuse $lavoro/Prova.AppImage $lavoro/congelato") || fallito "its server"
cp "$lavoro/bin/curl" "$lavoro/bin/gelido" && chmod 755 "$lavoro/bin/gelido"
kill -STOP "$server"
inizio=$(date +%s)
raggiunge sandbox --dir "$lavoro/congelato" --ro-bind "$lavoro/bin/gelido" "$lavoro/congelato/x" "$lavoro/congelato/x" \
    && fallito "the program under the stopped mount passes"
[ $(($(date +%s) - inizio)) -lt 5 ] || fallito "judged at once"
ha_flusso "?$lavoro/congelato/x" '"consentito":false' || fallito "named by its path, not looked up"
cp "$lavoro/bin/curl" "$lavoro/bin/libero"
regole app "$lavoro/bin/libero" consenti
raggiunge "$lavoro/bin/libero" || fallito "an allowed program passes while the server is stopped"
kill -CONT "$server"
passo "a stopped FUSE server does not stall the daemon"

# ---- a path that is not UTF-8: its question is answered by the name shown ----
strano=$lavoro/bin/$'caf\xe9'
cp "$lavoro/bin/curl" "$strano"
regole imposta chiediPrima sì
"$app" --gestore esterno --rispondi mai --senza-flussi >"$lavoro/app.log" 2>&1 &
for _ in $(seq 100); do
    "$ctl" --json stato 2>/dev/null | grep -q '"appConnessa":true' && break
    sleep 0.1
done
"$ctl" --json stato | grep -q '"appConnessa":true' || fallito "the app registers"
"$strano" -s -o /dev/null -m 20 http://203.0.113.1/ &
attesa=$!
sleep 1
kill -0 "$attesa" 2>/dev/null || fallito "the program at a non-UTF-8 path waits for an answer"
"$ctl" --json stato | grep -q '"domandeInAttesa":1' || fallito "ostralectl sees the question"
"$ctl" rispondi "$lavoro/bin/caf\\xE9" consenti || fallito "ostralectl rispondi with the name shown"
wait "$attesa" || fallito "the answer releases the connection"
passo "a program at a non-UTF-8 path, released by the answer given to its name"
regole imposta chiediPrima no
regole imposta bloccaSconosciute no

kill -TERM "$demone"; wait "$demone"; demone=""
echo "all identity checks passed"
