# fish completion for ostralectl

# The words before the cursor without the global options (ostralectl reads those wherever they
# stand): the command first, then its arguments.
function __ostralectl_argomenti
    set -l parole (commandline -opc)
    set -e parole[1]
    set -l salta 0
    for p in $parole
        if test $salta = 1
            set salta 0
            continue
        end
        switch $p
            case --socket --contenitore
                set salta 1
            case --json
            case '*'
                printf "%s\n" $p
        end
    end
end

# Whether the arguments so far are exactly those given: '*' stands for any word, and a|b for
# either.
function __ostralectl_dopo
    set -l a (__ostralectl_argomenti)
    test (count $a) -eq (count $argv); or return 1
    for i in (seq (count $argv))
        test "$argv[$i]" = '*'; and continue
        contains -- $a[$i] (string split '|' -- $argv[$i]); or return 1
    end
end

# Whether the arguments so far start with those given before `--` (as __ostralectl_dopo reads
# them) and hold none of the options given after it.
function __ostralectl_oltre
    set -l a (__ostralectl_argomenti)
    set -l fisse $argv
    set -l vietate
    if set -l i (contains -i -- -- $argv)
        set fisse $argv[1..(math $i - 1)]
        set vietate $argv[(math $i + 1)..-1]
    end
    test (count $a) -ge (count $fisse); or return 1
    for i in (seq (count $fisse))
        test "$fisse[$i]" = '*'; and continue
        contains -- $a[$i] (string split '|' -- $fisse[$i]); or return 1
    end
    for v in $vietate
        contains -- $v $a; and return 1
    end
    return 0
end

# Whether the word before the cursor is the option given, which wants a value.
function __ostralectl_valore
    set -l parole (commandline -opc)
    test "$parole[-1]" = $argv[1]
end

set -l azioni 'consenti|blocca|allow|block'
# The commands that have an English word too, as __ostralectl_dopo reads alternatives.
set -l regole "'regole|rules'"
set -l rispondi "'rispondi|answer'"

set -l sino bloccaSconosciute filtraEntrata registraConsentiti quarantenaAttiva avvisaAnomalie \
    bloccaTracker chiediPrima fidatiApple escludiLan rilevaAttacchi

complete -c ostralectl -f
complete -c ostralectl -l json -d 'Machine-readable output'
complete -c ostralectl -l socket -r -F -d "The daemon's socket"
complete -c ostralectl -l contenitore -x -a '(__fish_complete_directories)' \
    -d 'The shared container'
complete -c ostralectl -s h -l help -d 'Print the usage'
complete -c ostralectl -l version -d 'Print the version'

complete -c ostralectl -n __ostralectl_dopo -a stato \
    -d "The daemon, the rules and today's counters"
complete -c ostralectl -n __ostralectl_dopo -a flussi -d 'The recent flows, then live ones'
complete -c ostralectl -n __ostralectl_dopo -a attacchi -d 'The attacks in the recent flows'
complete -c ostralectl -n __ostralectl_dopo -a storico \
    -d 'Hourly, per-application and per-address history'
complete -c ostralectl -n __ostralectl_dopo -a regole -d 'The rules and settings, and their edits'
complete -c ostralectl -n __ostralectl_dopo -a rispondi \
    -d 'Answer an application held for a decision'
complete -c ostralectl -n __ostralectl_dopo -a c2 -d 'Deliver a command-and-control list'
complete -c ostralectl -n __ostralectl_dopo -a status -d 'The same as stato'
complete -c ostralectl -n __ostralectl_dopo -a flows -d 'The same as flussi'
complete -c ostralectl -n __ostralectl_dopo -a attacks -d 'The same as attacchi'
complete -c ostralectl -n __ostralectl_dopo -a history -d 'The same as storico'
complete -c ostralectl -n __ostralectl_dopo -a rules -d 'The same as regole'
complete -c ostralectl -n __ostralectl_dopo -a answer -d 'The same as rispondi'

complete -c ostralectl -n "__ostralectl_dopo 'flussi|flows'" -l segui -d 'Go on with live flows'

complete -c ostralectl -n "__ostralectl_dopo $regole" -a app \
    -d 'Allow, block or switch the rule of an application'
complete -c ostralectl -n "__ostralectl_dopo $regole" -a dominio \
    -d 'Allow or block a domain or an address'
complete -c ostralectl -n "__ostralectl_dopo $regole" -a permanente \
    -d 'Make a temporary rule of an application or a domain permanent'
complete -c ostralectl -n "__ostralectl_dopo $regole" -a rimuovi \
    -d 'Remove the rule of an application or a domain'
complete -c ostralectl -n "__ostralectl_dopo $regole" -a imposta -d 'Change one setting'
complete -c ostralectl -n "__ostralectl_dopo $regole" -a esporta \
    -d 'Write the rules and settings as one file'
complete -c ostralectl -n "__ostralectl_dopo $regole" -a importa \
    -d 'Read rules and settings from such a file'
complete -c ostralectl -n "__ostralectl_dopo $regole esporta" -F -d File
complete -c ostralectl -n "__ostralectl_dopo $regole importa" -F -d File
complete -c ostralectl -n "__ostralectl_dopo $regole importa '*'" -l sostituisci \
    -d 'Also remove the rules the file lacks'
complete -c ostralectl -n "__ostralectl_dopo $regole app" -F -d Application
complete -c ostralectl -n "__ostralectl_dopo $regole app '*'" -a 'consenti blocca attiva disattiva allow block on off'
# The options after the action, each once, in any order; their values offered on their own.
set -l regola_app "$regole app '*' '$azioni'"
complete -c ostralectl -n "__ostralectl_oltre $regola_app -- --fascia --senza-fascia" -l fascia \
    -x -d 'Daily time window HH:MM-HH:MM'
complete -c ostralectl -n "__ostralectl_oltre $regola_app -- --fascia --senza-fascia" \
    -l senza-fascia -d 'Hold all day'
complete -c ostralectl -n "__ostralectl_oltre $regola_app -- --per" -l per -x \
    -d 'Last 15m, 1h, 12h, until restart (riavvio) or N s, m, h or d'
complete -c ostralectl -n "__ostralectl_dopo $regole dominio '*'" -a 'consenti blocca allow block'
set -l regola_dominio "$regole dominio '*' '$azioni'"
complete -c ostralectl -n "__ostralectl_oltre $regola_dominio -- --app" -l app -r -F \
    -d 'Only for this application'
complete -c ostralectl -n "__ostralectl_oltre $regola_dominio -- --porta" -l porta -x \
    -d 'Only for this remote port, 1-65535'
complete -c ostralectl -n "__ostralectl_oltre $regola_dominio -- --per" -l per -x \
    -d 'Last 15m, 1h, 12h, until restart (riavvio) or N s, m, h or d'
complete -c ostralectl -n "__ostralectl_dopo $regole 'permanente|rimuovi'" -a 'app dominio'
complete -c ostralectl -n "__ostralectl_dopo $regole 'permanente|rimuovi' app" -F -d Application
set -l ambito "$regole 'permanente|rimuovi' dominio '*'"
complete -c ostralectl -n "__ostralectl_oltre $ambito -- --app" -l app -r -F \
    -d 'The rule for this application'
complete -c ostralectl -n "__ostralectl_oltre $ambito -- --porta" -l porta -x \
    -d 'The rule for this remote port'
complete -c ostralectl -n '__ostralectl_valore --per' -a '15m 1h 12h riavvio'
complete -c ostralectl -n '__ostralectl_valore --app' -F -d Application
complete -c ostralectl -n "__ostralectl_dopo $regole imposta" -a "$sino giorniQuarantena"
complete -c ostralectl -n "__ostralectl_dopo $regole imposta '$(string join '|' $sino)'" -a 'sì no yes'

complete -c ostralectl -n "__ostralectl_dopo $rispondi" -F -d Application
complete -c ostralectl -n "__ostralectl_dopo $rispondi '*'" -a 'consenti blocca allow block'
complete -c ostralectl -n "__ostralectl_oltre $rispondi '*' '$azioni' -- --una-volta" \
    -l una-volta -d 'Only the waiting flows, no rule for the next ones'
complete -c ostralectl -n "__ostralectl_oltre $rispondi '*' '$azioni' -- --dominio" -l dominio -x \
    -d 'Only the waiting flows to this host'
complete -c ostralectl \
    -n "__ostralectl_oltre $rispondi '*' '$azioni' -- --porta; and contains -- --dominio (__ostralectl_argomenti)" \
    -l porta -x -d 'Only the waiting flows to this port'
complete -c ostralectl -n '__ostralectl_dopo c2' -F -d 'List of addresses'
