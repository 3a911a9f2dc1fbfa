# bash completion for tren-cli
# File names come from bash-completion's _filedir, which quotes and unquotes them
# as ls's completion does: blanks, quotes and any letters.
_tren_cli() {
    local cur prev words cword
    _init_completion || return
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        tren | build | info | verify | repair | unregister | help) command=${words[i]}; break ;;
        esac
    done

    case $prev in
    --size)
        COMPREPLY=($(compgen -W "5M 3M 1.44M 1M 500K" -- "$cur"))
        return
        ;;
    --out)
        _filedir -d
        return
        ;;
    --recovery)
        COMPREPLY=($(compgen -W "1 2 3 5 10%" -- "$cur"))
        return
        ;;
    esac

    local options
    case $command in
    "")
        COMPREPLY=($(compgen -W "tren build info verify repair unregister help --help --version" -- "$cur"))
        return
        ;;
    help)
        COMPREPLY=($(compgen -W "tren build info verify repair unregister --all" -- "$cur"))
        return
        ;;
    tren) options="--size --out --sums --recovery --quiet --help" ;;
    build) options="--out --no-clobber --quiet --help" ;;
    info) options="--json --help" ;;
    verify | repair | unregister) options="--help" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $command == tren ]]; then
        _filedir
    elif [[ $command == repair ]]; then
        # The header piece, or the recovery index when the header is lost.
        _filedir '@(tr0|par2)'
    else
        # A header piece, or a folder on the way to one.
        _filedir tr0
    fi
} &&
    complete -F _tren_cli tren-cli
