# bash completion for tren-cli
_tren_cli() {
    local cur prev command i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    command=""
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        tren | build | info | verify | help) command=${COMP_WORDS[i]}; break ;;
        esac
    done

    case $prev in
    --size)
        COMPREPLY=($(compgen -W "5M 3M 1.44M 1M 500K" -- "$cur"))
        return
        ;;
    --out)
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    esac

    local options
    case $command in
    "")
        COMPREPLY=($(compgen -W "tren build info verify help --help --version" -- "$cur"))
        return
        ;;
    help)
        COMPREPLY=($(compgen -W "tren build info verify" -- "$cur"))
        return
        ;;
    tren) options="--size --out --sums --quiet --help" ;;
    build) options="--out --quiet --help" ;;
    info) options="--json --help" ;;
    verify) options="--help" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $command == tren ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
    else
        # A header piece, or a folder on the way to one.
        COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.tr0' -- "$cur"))
    fi
} &&
    complete -o filenames -F _tren_cli tren-cli
