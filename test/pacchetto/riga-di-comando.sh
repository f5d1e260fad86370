#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The programs' command lines and what ships beside them: every program answers --help and
# --version without a display, starting nothing (no socket, lock, file or child), and refuses
# an unknown option with status 2; the man pages render without warnings and name every option
# the programs print; the bash completion offers ostralectl's commands (with their English
# words) and settings.
# Usage: riga-di-comando.sh OSTRALECTL OSTRALE-ESTENSIONE OSTRALE OSTRALE-STATO SOURCE_DIR VERSION
set -uo pipefail
ctl=$1
estensione=$2
app=$3
stato=$4
radice=$5
versione=$6
man=$radice/pacchetto/man
completamento=$radice/pacchetto/completamenti/ostralectl.bash
if ! command -v pgrep >/dev/null; then
    echo "SKIPPED: pgrep (procps) is missing to look for processes"
    exit 77
fi

lavoro=$(mktemp -d /tmp/ostrale-riga-XXXXXX)
uscite=$(mktemp -d /tmp/ostrale-riga-uscite-XXXXXX)
fine() {
    local rimasti
    rimasti=$(pgrep -f -- "$lavoro")
    [ -n "$rimasti" ] && kill -KILL $rimasti 2>/dev/null
    rm -rf "$lavoro" "$uscite"
}
trap fine EXIT
errori=0
fallito() {
    echo "FAILED: $*"
    errori=$((errori + 1))
}

# Everything a start would touch points into $lavoro; the directories made here must stay
# empty, and the rest must not appear.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$lavoro/casa" "$lavoro/runtime"
chmod 700 "$lavoro/runtime"
export HOME=$lavoro/casa XDG_RUNTIME_DIR=$lavoro/runtime XDG_CONFIG_HOME=$lavoro/casa/config
export XDG_CACHE_HOME=$lavoro/casa/cache XDG_DATA_HOME=$lavoro/casa/data
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/socket/ostrale.sock
export OSTRALE_BLOCCO_APP=$lavoro/blocco/app.lock OSTRALE_IMPOSTAZIONI=$lavoro/ostrale.conf
export DBUS_SESSION_BUS_ADDRESS=unix:path=$lavoro/nessun-bus LANG=C.UTF-8
unset LC_ALL LC_MESSAGES
# A daemon the app's local manager would start: it leaves a mark, and stays a process named
# by its path for a minute at most.
printf '#!/bin/sh\ntouch "%s/avviata"\nfor i in $(seq 60); do sleep 1; done\n' "$lavoro" \
    >"$lavoro/finta-estensione"
chmod +x "$lavoro/finta-estensione"
export OSTRALE_GESTORE=locale OSTRALE_COMANDO_ESTENSIONE=$lavoro/finta-estensione
prima=$(find "$lavoro" | sort)

# Runs PROGRAM ARGS... (20 s at most); its status in $esito, its output in $uscite/out, err.
esegui() {
    timeout 20 "$@" >"$uscite/out" 2>"$uscite/err" </dev/null
    esito=$?
}
# Nothing started: no new file or directory, no process with the work directory in its command
# line (the fake daemon, or anything the program left behind). What is found is then removed,
# so that the next check starts clean.
niente_avviato() { # WHAT
    local dopo nuovi rimasti
    dopo=$(find "$lavoro" | sort)
    if [ "$dopo" != "$prima" ]; then
        nuovi=$(comm -13 <(echo "$prima") <(echo "$dopo"))
        fallito "$1 touched: $(echo $nuovi)"
        rm -rf $nuovi
    fi
    if rimasti=$(pgrep -f -- "$lavoro"); then
        fallito "$1 left running: $(ps -o args= -p "$(echo $rimasti | tr ' ' ,)" | head -3)"
        kill -KILL $rimasti 2>/dev/null
    fi
}

for programma in "$ctl" "$estensione" "$app" "$stato"; do
    nome=$(basename "$programma")
    esegui "$programma" --version
    [ "$esito" = 0 ] || fallito "$nome --version exits $esito: $(head -c 300 "$uscite/err")"
    [ "$(cat "$uscite/out")" = "$nome $versione" ] ||
        fallito "$nome --version prints '$(head -c 100 "$uscite/out")', not '$nome $versione'"
    [ -s "$uscite/err" ] &&
        fallito "$nome --version writes to standard error: $(head -c 300 "$uscite/err")"
    niente_avviato "$nome --version"

    # ostralectl speaks the language of LANG (here English); the others Italian.
    intestazione=uso
    [ "$nome" = ostralectl ] && intestazione=usage
    for aiuto in --help -h; do
        esegui "$programma" "$aiuto"
        [ "$esito" = 0 ] || fallito "$nome $aiuto exits $esito: $(head -c 300 "$uscite/err")"
        grep -q "^$intestazione: $nome " "$uscite/out" ||
            fallito "$nome $aiuto prints no usage on standard output"
        grep -q -- "--version" "$uscite/out" || fallito "$nome $aiuto does not tell --version"
        [ -s "$uscite/err" ] &&
            fallito "$nome $aiuto writes to standard error: $(head -c 300 "$uscite/err")"
        niente_avviato "$nome $aiuto"
    done
    cp "$uscite/out" "$uscite/uso-$nome"

    esegui "$programma" --opzione-sconosciuta
    [ "$esito" = 2 ] || fallito "$nome --opzione-sconosciuta exits $esito, not 2"
    grep -q "unknown option '--opzione-sconosciuta'" "$uscite/err" ||
        fallito "$nome does not say which option is unknown: $(head -c 300 "$uscite/err")"
    [ -s "$uscite/out" ] && fallito "$nome writes its refusal to standard output"
    niente_avviato "$nome --opzione-sconosciuta"
done

# Where a display can be had, the app must still only answer.
QT_QPA_PLATFORM=offscreen esegui "$app" --help
[ "$esito" = 0 ] || fallito "ostrale --help with a platform exits $esito"
niente_avviato "ostrale --help with a platform"
QT_QPA_PLATFORM=offscreen esegui "$app" --nascosta argomento
[ "$esito" = 2 ] || fallito "ostrale with a stray argument exits $esito, not 2"
niente_avviato "ostrale with a stray argument"
# The value of Qt's own options is not an option of the app's, and --help still wins.
esegui "$app" -platform offscreen -style=Fusion --nascosta --help
[ "$esito" = 0 ] ||
    fallito "ostrale with Qt's options and --help exits $esito: $(head -c 300 "$uscite/err")"
niente_avviato "ostrale with Qt's options and --help"

# ostralectl's commands, as its usage lists them, and the English words it names for them.
comandi=$(sed -n '/^commands:/,/^$/p' "$uscite/uso-ostralectl" | awk 'NR > 1 && NF { print $1 }' |
    sort -u)
[ -n "$comandi" ] || fallito "ostralectl's usage lists no commands"
inglesi="answer attacks flows history rules status"
for parola in $inglesi; do
    grep -qw "$parola" "$uscite/uso-ostralectl" || fallito "ostralectl's usage does not name $parola"
    esegui "$ctl" "$parola" --help
    [ "$esito" = 0 ] || fallito "ostralectl $parola --help exits $esito"
done
parole=$(printf '%s\n' $comandi $inglesi | sort -u)

# The man pages: no warnings, a NAME line for whatis, every option and command of the usage.
saltato=""
if command -v groff >/dev/null; then
    for pagina in "$man/ostrale.1" "$man/ostralectl.1" "$man/ostrale-estensione.8" \
        "$man/ostrale-stato.1"; do
        avvisi=$(groff -man -ww -z "$pagina" 2>&1) || fallito "groff fails on $pagina"
        [ -z "$avvisi" ] || fallito "$pagina has warnings: $avvisi"
        avvisi=$(groff -man -ww -Tutf8 "$pagina" 2>&1 >/dev/null)
        [ -z "$avvisi" ] || fallito "$pagina has warnings on a terminal: $avvisi"
        if command -v lexgrog >/dev/null; then
            lexgrog "$pagina" >/dev/null || fallito "lexgrog finds no NAME in $pagina"
        fi
    done
else
    saltato="groff is missing: the man pages were not rendered"
fi
for nome in ostrale ostralectl ostrale-estensione ostrale-stato; do
    pagina=$(ls "$man/$nome".[18])
    for opzione in $(grep -o -- '--[a-z][a-z-]*' "$uscite/uso-$nome" | sort -u); do
        grep -qF -- "${opzione//-/\\-}" "$pagina" || fallito "$pagina does not describe $opzione"
    done
done
for comando in $comandi; do
    grep -qE "^\.B[IR]* \"?$comando\b" "$man/ostralectl.1" ||
        fallito "ostralectl.1 does not describe the command $comando"
done
for parola in $inglesi; do
    grep -qE "^\.BR? $parola\b" "$man/ostralectl.1" || fallito "ostralectl.1 does not name $parola"
done

# The bash completion, as bash calls it on <TAB>: "WORD... ''" lists the offers for a new word.
# Checked alone, and after the bash-completion package's helpers where they are installed.
completa() {
    bash --norc --noprofile -c '
        [ -n "$2" ] && { source "$2" || exit 1; }
        source "$1" || exit 1
        shift 2
        COMP_WORDS=("$@")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        _ostralectl ostralectl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort -u
    ' completa "$completamento" "$aiutanti" "$@"
}
for aiutanti in "" /usr/share/bash-completion/bash_completion; do
    [ -z "$aiutanti" ] || [ -r "$aiutanti" ] || continue
    con=${aiutanti:+ with $aiutanti}
    offerte=$(completa ostralectl '')
    [ "$offerte" = "$parole" ] ||
        fallito "ostralectl <TAB>$con offers [$(echo $offerte)], not [$(echo $parole)]"
    offerte=$(completa ostralectl --socket /x --json sta)
    [ "$(echo $offerte)" = "stato status" ] ||
        fallito "ostralectl --socket /x --json sta<TAB>$con offers [$(echo $offerte)]"
    # The options after an action, each once and in any order, one of two that exclude each other.
    for caso in "regole app /usr/bin/curl blocca --|--fascia --per --senza-fascia" \
        "regole app /usr/bin/curl blocca --per 1h --senza-fascia --|" \
        "regole app /usr/bin/curl blocca --fascia 09:00-18:00 --|--per" \
        "regole dominio x.example blocca --per 1h --|--app --porta" \
        "regole rimuovi dominio x.example --porta 443 --|--app" \
        "rispondi /usr/bin/curl blocca --|--dominio --una-volta" \
        "rispondi /usr/bin/curl blocca --dominio x.example --|--porta --una-volta" \
        "rules app /usr/bin/curl allow --|--fascia --per --senza-fascia" \
        "answer /usr/bin/curl block --|--dominio --una-volta" "flows --|--help --json --segui" \
        "status --|--help --json" "regole --|--help --json"; do
        offerte=$(completa ostralectl ${caso%|*})
        [ "$(echo $offerte)" = "${caso#*|}" ] ||
            fallito "ostralectl ${caso%|*}<TAB>$con offers [$(echo $offerte)], not [${caso#*|}]"
    done
done
aiutanti=""
# Every setting it offers is one ostralectl accepts (here on a container's file of its own).
mkdir "$lavoro/regole"
impostazioni=$(completa ostralectl regole imposta '')
[ "$(echo "$impostazioni" | wc -w)" -ge 10 ] ||
    fallito "ostralectl regole imposta <TAB> offers [$(echo $impostazioni)]"
for chiave in $impostazioni; do
    valore=no
    [ "$chiave" = giorniQuarantena ] && valore=7
    esegui "$ctl" --socket "$lavoro/nessuno.sock" --contenitore "$lavoro/regole" regole imposta \
        "$chiave" "$valore"
    [ "$esito" = 0 ] ||
        fallito "the offered setting $chiave is refused: $(head -c 300 "$uscite/err")"
done
# Every duration it offers is one ostralectl accepts, and the rule lasts so.
durate=$(completa ostralectl regole app /usr/bin/curl blocca --per '')
[ "$(echo $durate)" = "12h 15m 1h riavvio" ] || fallito "--per <TAB> offers [$(echo $durate)]"
for durata in $durate; do
    esegui "$ctl" --socket "$lavoro/nessuno.sock" --contenitore "$lavoro/regole" regole dominio \
        durata.example blocca --per "$durata"
    [ "$esito" = 0 ] || fallito "the offered --per $durata is refused: $(head -c 300 "$uscite/err")"
done
# And the settings ostralectl lists after an edit ("chiediPrima no, …") are those offered.
elencate=$(grep -oE '\(?[a-zA-Z]+ (yes|no|[0-9]+)\b' "$uscite/out" | tr -d '(' | cut -d' ' -f1 |
    sort -u)
[ "$elencate" = "$(echo "$impostazioni" | sort -u)" ] ||
    fallito "ostralectl lists the settings [$(echo $elencate)], bash offers [$(echo $impostazioni)]"

# The other shells' completions, where those shells are installed: zsh's parses, fish's offers
# the commands.
if command -v zsh >/dev/null; then
    zsh -n "$radice/pacchetto/completamenti/_ostralectl" || fallito "_ostralectl does not parse"
fi
if command -v fish >/dev/null; then
    offerte=$(fish --no-config -c 'source $argv[1]; and complete -C "ostralectl "' \
        "$radice/pacchetto/completamenti/ostralectl.fish" | cut -f1 | sort -u)
    [ "$offerte" = "$parole" ] || fallito "fish offers [$(echo $offerte)] for ostralectl <TAB>"
    offerte=$(fish --no-config -c 'source $argv[1]; and complete -C "ostralectl regole dominio x.example blocca --app a --"' \
        "$radice/pacchetto/completamenti/ostralectl.fish" | cut -f1 | grep -E -- '--(app|porta|per)$' | sort)
    [ "$(echo $offerte)" = "--per --porta" ] ||
        fallito "fish offers [$(echo $offerte)] after regole dominio D blocca --app a --"
fi

if [ "$errori" -gt 0 ]; then
    echo "$errori failures"
    exit 1
fi
if [ -n "$saltato" ]; then
    echo "SKIPPED: $saltato"
    exit 77
fi
echo "all passed"
