# bash completion for ostralectl                                     -*- shell-script -*-

# The groups of options in $1 of which none is yet among the arguments (the array a of
# _ostralectl) from index $2 on; a group is one option, or several that exclude each other
# joined by '|'.
_ostralectl_restanti() {
    local gruppo x
    local -a scelte=()
    for gruppo in $1; do
        for x in "${a[@]:$2}"; do
            [[ "|$gruppo|" == *"|$x|"* ]] && continue 2
        done
        scelte+=(${gruppo//|/ })
    done
    echo "${scelte[*]}"
}

_ostralectl() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        # Without the bash-completion package: the words as bash split them.
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
        cur=${words[cword]}
        prev=${words[cword - 1]}
    fi

    case $prev in
        --socket)
            COMPREPLY=($(compgen -f -- "$cur"))
            compopt -o filenames 2>/dev/null
            return
            ;;
        --contenitore)
            COMPREPLY=($(compgen -d -- "$cur"))
            compopt -o filenames 2>/dev/null
            return
            ;;
        --app)
            COMPREPLY=($(compgen -f -- "$cur"))
            compopt -o filenames 2>/dev/null
            return
            ;;
        --per)
            COMPREPLY=($(compgen -W "15m 1h 12h riavvio" -- "$cur"))
            return
            ;;
        --fascia | --porta | --dominio) return ;; # HH:MM-HH:MM, 1-65535, a host
    esac

    # The words before the cursor, without the global options (ostralectl reads those
    # wherever they stand): the command first, then its arguments.
    local -a a=()
    local i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --socket | --contenitore) ((i++)) ;;
            --json) ;;
            *) a+=("${words[i]}") ;;
        esac
    done

    local scelte="" file=""
    if ((${#a[@]} == 0)); then
        if [[ $cur == -* ]]; then
            scelte="--json --socket --contenitore --help --version"
        else
            # Each command also answers to its English word.
            scelte="stato flussi attacchi storico regole rispondi c2
                    status flows attacks history rules answer"
        fi
    else
        case ${a[0]} in
            flussi | flows) ((${#a[@]} == 1)) && scelte="--segui --json --help" ;;
            attacchi | attacks | storico | history | stato | status)
                ((${#a[@]} == 1)) && scelte="--json --help"
                ;;
            rispondi | answer)
                case ${#a[@]} in
                    1) [[ $cur == -* ]] && scelte="--help" || file=yes ;;
                    2) scelte="consenti blocca allow block" ;;
                    *)
                        scelte=$(_ostralectl_restanti "--una-volta --dominio" 3)
                        [[ " ${a[*]:3} " == *" --dominio "* ]] &&
                            scelte+=" $(_ostralectl_restanti --porta 3)"
                        ;;
                esac
                ;;
            c2) ((${#a[@]} == 1)) && { [[ $cur == -* ]] && scelte="--help" || file=yes; } ;;
            regole | rules)
                case ${a[1]-}:${#a[@]} in
                    :1) scelte="app dominio permanente rimuovi imposta esporta importa --json --help" ;;
                    esporta:2 | importa:2) file=yes ;;
                    importa:3) scelte="--sostituisci" ;;
                    app:2) file=yes ;;
                    app:3) scelte="consenti blocca attiva disattiva allow block on off" ;;
                    app:*)
                        case ${a[3]} in
                            consenti | blocca | allow | block)
                                scelte=$(_ostralectl_restanti "--fascia|--senza-fascia --per" 4)
                                ;;
                        esac
                        ;;
                    dominio:3) scelte="consenti blocca allow block" ;;
                    dominio:[4-9] | dominio:[1-9][0-9])
                        scelte=$(_ostralectl_restanti "--app --porta --per" 4)
                        ;;
                    permanente:2 | rimuovi:2) scelte="app dominio" ;;
                    permanente:3 | rimuovi:3) [[ ${a[2]} == app ]] && file=yes ;;
                    permanente:* | rimuovi:*)
                        [[ ${a[2]} == dominio ]] && scelte=$(_ostralectl_restanti "--app --porta" 4)
                        ;;
                    imposta:2)
                        scelte="bloccaSconosciute filtraEntrata registraConsentiti quarantenaAttiva
                                giorniQuarantena avvisaAnomalie bloccaTracker chiediPrima
                                fidatiApple escludiLan rilevaAttacchi"
                        ;;
                    imposta:3) [[ ${a[2]} != giorniQuarantena ]] && scelte="sì no yes" ;;
                esac
                ;;
        esac
    fi

    if [[ -n $file ]]; then
        # An application's identity is usually its executable's path; c2 takes a list file.
        COMPREPLY=($(compgen -f -- "$cur"))
        compopt -o filenames 2>/dev/null
    else
        COMPREPLY=($(compgen -W "$scelte" -- "$cur"))
    fi
}
complete -F _ostralectl ostralectl

# ex: filetype=sh
