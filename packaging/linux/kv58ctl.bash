# Bash completion of kv58ctl: its commands, the global options and each command's own options
# (both read from kv58ctl's help texts, so they follow the program), and for --port the serial
# ports that `kv58ctl ports` finds, the simulated transmitter and the network form.

_kv58ctl_words_of() {
    # The --options a help text names.
    "$1" "${@:2}" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u
}

_kv58ctl() {
    local cur prev program command word i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    program=${COMP_WORDS[0]}

    case $prev in
        --port)
            local ports
            ports=$("$program" ports 2>/dev/null | awk '{ print $1 }')
            COMPREPLY=($(compgen -W "$ports sim: rfc2217://" -- "$cur"))
            return
            ;;
        --ini | --out)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
    esac

    # The command: the first word that is neither an option nor the value of one.
    command=
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --ini | --port) ((i++)) ;;
            -*) ;;
            *) command=$word; break ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$(_kv58ctl_words_of "$program")" -- "$cur"))
        else
            local commands
            commands=$("$program" --help 2>/dev/null | sed -n 's/^  \([a-z][a-z-]*\)  .*/\1/p')
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_kv58ctl_words_of "$program" "$command")" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

complete -F _kv58ctl kv58ctl
