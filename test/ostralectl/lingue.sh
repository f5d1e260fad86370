#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# ostralectl speaks one language a run: every command, through the simulated daemon and without
# one, in English (LC_ALL=C.UTF-8) and in Italian (LC_ALL=it_IT.UTF-8, read from the variable
# alone: the locale need not be generated), no line in the other language; LC_ALL, LC_MESSAGES
# and LANG in that order; every command's --help; columns lined up by characters, not bytes.
# Usage: lingue.sh ESTENSIONE OSTRALECTL    Exit 0 passed, else failed.
set -uo pipefail
estensione=$1
ctl=$2
canale="$(dirname "$0")/canale.py"

lavoro=$(mktemp -d /tmp/ostrale-lingue-XXXXXX)
export OSTRALE_CONTENITORE=$lavoro/contenitore OSTRALE_SOCKET=$lavoro/ostrale.sock
export OSTRALE_SEDE=$lavoro/nessuna-sede
unset LC_MESSAGES LANG
mkdir -p "$OSTRALE_CONTENITORE"
source "$(dirname "$0")/comune.sh"

# Words only the other language has: English output must hold none of the first list, Italian
# none of the second (whole words, any case).
solo_it='consentit[io]|bloccat[io]|regole:|estensione|nessun[ao]?|attend[eo]no|attende|sempre|permanente|oggi|domande:|fascia|niente|risposta|inviata|indirizzi|applicazion[ei]|aggiunt[ae]|cambiat[ae]|rimoss[ae]|uso:|comandi:|sì|vuole|sconosciut[ao]|non'
solo_en='allowed|blocked|rules:|connected|daemon|nothing|always|permanent|until|today:|questions:|more|usage:|commands:|answer|sent|addresses|applications?|added|changed|removed|window|wants|unknown|yes|not|allow|block'
# Runs ostralectl in LANGUAGE (en or it) with ARGS...; its status in $esito, stdout and stderr
# in $lavoro/out and err; then checks that neither holds a word of the other language.
ctl() {
    local lingua=$1 vietate=$solo_it valore=C.UTF-8
    shift
    [ "$lingua" = it ] && vietate=$solo_en valore=it_IT.UTF-8
    LC_ALL=$valore "$ctl" "$@" >"$lavoro/out" 2>"$lavoro/err"
    esito=$?
    # Identities, hosts, program names and keys are names, not words: they are left out, and
    # so is the usage after an error (it lists the words accepted in the other language).
    local estranee
    estranee=$(cat "$lavoro/out" <(sed '/^$/,$d' "$lavoro/err") |
        sed -E 's#[^ ]*[/.][^ ]*##g; s/(ostrale)?--?[a-z-]+//g; s/[a-z]+[A-Z][a-zA-Z]*//g' |
        grep -owiE "$vietate" | sort -u)
    [ -z "$estranee" ] || fallito "$lingua: ostralectl $* says [$(echo $estranee)]:
$(cat "$lavoro/out" "$lavoro/err" | head -20)"
}

"$estensione" --sorgente simulata --velocita 20 >"$lavoro/estensione.log" 2>&1 &
figli+=($!)
for _ in $(seq 300); do "$ctl" stato >/dev/null 2>&1 && break; sleep 0.1; done
"$ctl" stato >/dev/null 2>&1 || { fallito "the daemon answers"; exit 1; }
# An app that never answers, so that applications wait for an answer.
python3 "$canale" "$OSTRALE_SOCKET" app "$lavoro/domande" &
figli+=($!)
"$ctl" regole imposta chiediPrima sì >/dev/null && "$ctl" regole imposta bloccaSconosciute sì \
    >/dev/null || fallito "the settings that make questions"
in_attesa() { # the first application waiting for an answer, within 10 s
    local app
    for _ in $(seq 100); do
        app=$(python3 "$canale" "$OSTRALE_SOCKET" chiama informazioni: |
            python3 -c 'import json, sys; print((json.load(sys.stdin).get("appInAttesa") or [""])[0])')
        [ -n "$app" ] && { echo "$app"; return; }
        sleep 0.1
    done
}
# A command's word as the usage lists it.
italiano() {
    case $1 in
        status) echo stato ;; flows) echo flussi ;; attacks) echo attacchi ;;
        history) echo storico ;; rules) echo regole ;; answer) echo rispondi ;; *) echo "$1" ;;
    esac
}
for i in $(seq 60); do echo "198.51.100.$i"; done >"$lavoro/c2.txt"

# ---- every command in both languages, through the daemon ----
for lingua in en it; do
    ctl $lingua stato
    [ "$esito" = 0 ] || fallito "$lingua: stato exits $esito"
    ctl $lingua flussi
    [ "$esito" = 0 ] && [ -s "$lavoro/out" ] || fallito "$lingua: flussi exits $esito or shows nothing"
    ctl $lingua attacchi
    [ "$esito" = 0 ] || fallito "$lingua: attacchi exits $esito"
    ctl $lingua storico
    [ "$esito" = 0 ] || fallito "$lingua: storico exits $esito"
    ctl $lingua regole app "/opt/città/çà" blocca --fascia 22:00-07:00
    [ "$esito" = 0 ] || fallito "$lingua: a rule exits $esito"
    ctl $lingua regole app "/opt/città/çà" consenti
    grep -q "22:00-07:00" "$lavoro/err" || fallito "$lingua: the kept window is not told"
    ctl $lingua regole app "/opt/città/çà" consenti
    [ "$(wc -l <"$lavoro/err")" = 2 ] || fallito "$lingua: not two notices: $(cat "$lavoro/err")"
    ctl $lingua regole dominio negozio.example blocca --app /usr/bin/curl --porta 443 --per 2h
    [ "$esito" = 0 ] || fallito "$lingua: a domain rule exits $esito"
    ctl $lingua regole imposta giorniQuarantena 5
    ctl $lingua regole esporta "$lavoro/esportate.json"
    [ "$esito" = 0 ] && [ -s "$lavoro/err" ] || fallito "$lingua: esporta exits $esito, or says nothing"
    ctl $lingua regole rimuovi app "/opt/città/çà"
    ctl $lingua regole importa "$lavoro/esportate.json"
    [ "$esito" = 0 ] && [ "$(wc -l <"$lavoro/out")" = 2 ] ||
        fallito "$lingua: importa exits $esito, or plans [$(cat "$lavoro/out")]"
    ctl $lingua regole importa "$lavoro/esportate.json"
    [ -s "$lavoro/err" ] || fallito "$lingua: an import that changes nothing does not say so"
    ctl $lingua regole rimuovi dominio negozio.example
    [ "$esito" = 2 ] || fallito "$lingua: removing a missing scope exits $esito"
    ctl $lingua regole imposta bloccaTracker forse
    [ "$esito" = 2 ] || fallito "$lingua: a bad setting exits $esito"
    app=$(in_attesa)
    [ -n "$app" ] || fallito "$lingua: no application waits for an answer"
    ctl $lingua rispondi "$app" blocca --una-volta
    [ "$esito" = 0 ] && [ -s "$lavoro/out" ] || fallito "$lingua: rispondi $app exits $esito"
    ctl $lingua rispondi /usr/bin/nessuna blocca
    [ "$esito" = 4 ] || fallito "$lingua: rispondi without a question exits $esito"
    ctl $lingua c2 "$lavoro/c2.txt"
    [ "$esito" = 0 ] || fallito "$lingua: c2 exits $esito"
    ctl $lingua regole
    [ "$esito" = 0 ] && [ ! -s "$lavoro/err" ] || fallito "$lingua: regole exits $esito, or complains"
    cp "$lavoro/out" "$lavoro/regole-$lingua"
    # The usage names the words accepted in the other language: only its heading is checked.
    intestazione="usage: ostralectl"
    [ $lingua = it ] && intestazione="uso: ostralectl"
    for comando in "" stato flussi attacchi storico regole rispondi c2 status flows attacks \
        history rules answer; do
        LC_ALL=$([ $lingua = it ] && echo it_IT.UTF-8 || echo C.UTF-8) "$ctl" $comando --help \
            >"$lavoro/out" 2>"$lavoro/err"
        esito=$?
        [ "$esito" = 0 ] && [ ! -s "$lavoro/err" ] && grep -q "^$intestazione" "$lavoro/out" ||
            fallito "$lingua: $comando --help exits $esito: $(head -1 "$lavoro/out")"
        [ -z "$comando" ] || grep -q "^  $(italiano "$comando") " "$lavoro/out" ||
            fallito "$lingua: $comando --help does not show the command"
    done
    ctl $lingua comando-inesistente
    [ "$esito" = 2 ] || fallito "$lingua: an unknown command exits $esito"
done
passo "every command through the daemon, in English and in Italian"

# Columns by characters: in every row of the rules a column starts where its heading does.
for lingua in en it; do
    python3 - "$lavoro/regole-$lingua" <<'EOF' || fallito "$lingua: the columns do not line up"
import re, sys
righe = open(sys.argv[1], encoding="utf-8").read().split("\n\n")[0].splitlines()
colonne = [m.end() for m in re.finditer(r"  (?=\S)", righe[0])]
assert len(colonne) == 4 and any("città" in r for r in righe), righe
for riga in righe[1:]:
    for c in colonne:
        assert riga[c - 1] == " " and riga[c] != " ", (riga, colonne)
EOF
done
passo "the columns line up with accented identities"

# The language's variables, in order; a value that is not Italian gives English.
lingua_di() { env -u LC_ALL -u LC_MESSAGES -u LANG "$@" "$ctl" quale-comando 2>&1 | head -1; }
for caso in "LC_ALL=it_IT.UTF-8 LANG=C|it" "LC_ALL=C LANG=it_IT.UTF-8|en" \
    "LC_MESSAGES=it_CH LANG=en_GB.UTF-8|it" "LC_ALL= LC_MESSAGES= LANG=it|it" \
    "LANG=it_IT@euro|it" "LANG=ita_IT|en" "LANG=fr_FR.UTF-8|en" "|en"; do
    # shellcheck disable=SC2086
    riga=$(lingua_di ${caso%|*})
    atteso="unknown command"
    [ "${caso#*|}" = it ] && atteso="comando sconosciuto"
    [[ $riga == *"$atteso"* ]] || fallito "${caso%|*}: '$riga'"
done
passo "LC_ALL, then LC_MESSAGES, then LANG choose the language"

# ---- without a daemon, and with a daemon going away ----
LC_ALL=C.UTF-8 "$ctl" flussi --segui >"$lavoro/segui-en" 2>&1 &
segue_en=$!
LC_ALL=it_IT.UTF-8 "$ctl" flussi --segui >"$lavoro/segui-it" 2>&1 &
segue_it=$!
for _ in $(seq 100); do [ -s "$lavoro/segui-en" ] && [ -s "$lavoro/segui-it" ] && break; sleep 0.1; done
kill -TERM "${figli[0]}"; wait "${figli[0]}"
wait $segue_en; esito_en=$?
wait $segue_it; esito_it=$?
[ "$esito_en" = 1 ] && [ "$esito_it" = 1 ] || fallito "flussi --segui exits $esito_en and $esito_it"
grep -q "went away" "$lavoro/segui-en" || fallito "en: flussi --segui does not say why it stops"
grep -q "se n'è andata" "$lavoro/segui-it" || fallito "it: flussi --segui does not say why it stops"
for lingua in en it; do
    ctl $lingua regole
    [ "$esito" = 0 ] && [ "$(wc -l <"$lavoro/err")" = 1 ] ||
        fallito "$lingua: regole without a daemon exits $esito, says [$(cat "$lavoro/err")]"
    ctl $lingua regole app /usr/bin/wget-$lingua blocca
    [ "$esito" = 0 ] && [ "$(wc -l <"$lavoro/err")" = 1 ] ||
        fallito "$lingua: an edit without a daemon exits $esito, says [$(cat "$lavoro/err")]"
    ctl $lingua stato
    [ "$esito" = 1 ] || fallito "$lingua: stato without a daemon exits $esito"
    for comando in flussi storico "rispondi /usr/bin/wget consenti" "c2 $lavoro/c2.txt"; do
        # shellcheck disable=SC2086
        ctl $lingua $comando
        [ "$esito" = 1 ] || fallito "$lingua: $comando without a daemon exits $esito"
    done
done
passo "without a daemon, and a daemon going away, in both languages"

verdetto_finale "one language a run"
