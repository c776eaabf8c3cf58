# bash completion for parvane-cli                          -*- shell-script -*-

_parvane_cli()
{
    local cur prev words cword
    _init_completion || return

    local commands="list attributes trace extract message body unwrap"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -C | --folder) ((i++)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    case $prev in
        -C) _filedir -d; return ;;
        --folder) COMPREPLY=($(compgen -W "multi always never" -- "$cur")); return ;;
        -o | --mbox) _filedir; return ;;
        --maildir) _filedir -d; return ;;
    esac

    local options="-v --verbose -h --help"
    case $command in
        "")
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "-h --help -V --version" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            fi
            return ;;
        list) options+=" --json -r --recursive" ;;
        attributes | message) options+=" --json" ;;
        extract) options+=" -C --folder --body -r --recursive" ;;
        body) options+=" --rtf --html --text" ;;
        unwrap) options+=" -o --mbox --maildir" ;;
    esac

    local ended=""
    for ((i++; i < cword; i++)); do
        [[ ${words[i]} == -- ]] && ended=1
    done
    if [[ -z $ended && $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    if [[ $command == unwrap ]]; then
        _filedir
    else
        _filedir '@([dD][aA][tT]|[tT][nN][eE][fF])'
    fi
} &&
    complete -F _parvane_cli parvane-cli

# ex: filetype=sh
