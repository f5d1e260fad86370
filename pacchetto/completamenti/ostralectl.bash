# bash completion for ostralectl                                     -*- shell-script -*-

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
        --fascia) return ;; # HH:MM-HH:MM
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
            scelte="stato flussi attacchi storico regole rispondi c2"
        fi
    else
        case ${a[0]} in
            flussi) ((${#a[@]} == 1)) && scelte="--segui --json" ;;
            attacchi | storico | stato) ((${#a[@]} == 1)) && scelte="--json" ;;
            rispondi)
                case ${#a[@]} in
                    1) file=yes ;;
                    2) scelte="consenti blocca" ;;
                esac
                ;;
            c2) ((${#a[@]} == 1)) && file=yes ;;
            regole)
                case ${#a[@]}:${a[1]-} in
                    1:*) scelte="app dominio rimuovi imposta esporta importa --json" ;;
                    2:esporta | 2:importa) file=yes ;;
                    3:importa) scelte="--sostituisci" ;;
                    2:app) file=yes ;;
                    3:app) scelte="consenti blocca attiva disattiva" ;;
                    4:app)
                        case ${a[3]} in
                            consenti | blocca | allow | block) scelte="--fascia --senza-fascia" ;;
                        esac
                        ;;
                    3:dominio) scelte="consenti blocca" ;;
                    2:rimuovi) scelte="app dominio" ;;
                    3:rimuovi) [[ ${a[2]} == app ]] && file=yes ;;
                    2:imposta)
                        scelte="bloccaSconosciute filtraEntrata registraConsentiti quarantenaAttiva
                                giorniQuarantena avvisaAnomalie bloccaTracker chiediPrima
                                fidatiApple escludiLan rilevaAttacchi"
                        ;;
                    3:imposta) [[ ${a[2]} != giorniQuarantena ]] && scelte="sì no" ;;
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
