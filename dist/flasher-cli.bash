# bash completion for flasher-cli: commands, options, and --port from the program's own port list.

_flasher_cli_ports()
{
    # The first field of each line of `flasher-cli ports` is the device; USB adapters also by id.
    local ports
    ports=$(flasher-cli ports 2>/dev/null | awk '{print $1}')
    [ -d /dev/serial/by-id ] && ports+=$'\n'$(compgen -G '/dev/serial/by-id/*')
    COMPREPLY=($(compgen -W "$ports" -- "$cur"))
}

_flasher_cli()
{
    local cur prev words cword
    _init_completion || return

    local global="-h --help -y --yes --trace --json --log --version"
    local command="" sub="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --trace | --log | --on-result | --on-result-timeout | --boards) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                elif [[ $command == loader && -z $sub ]]; then
                    sub=${words[i]}
                fi
                ;;
        esac
    done

    case $prev in
        -p | --port) _flasher_cli_ports; return ;;
        --trace | --log | --out) _filedir; return ;;
        --fonts) _filedir gly; return ;;
        --image | --firmware) _filedir; return ;;
        --block) COMPREPLY=($(compgen -W "1 2 3 4 5 6 7 8" -- "$cur")); return ;;
        --name | --on-result | --on-result-timeout | --boards) return ;;
    esac

    local words_here
    case $command in
        "") words_here="$global ports program ramtest start config loader station" ;;
        ports) words_here="-h --help" ;;
        program) words_here="-h --help -y --yes -p --port --fonts --firmware" ;;
        ramtest | start | config) words_here="-h --help -y --yes -p --port" ;;
        station)
            # The station file, or an option.
            if [[ $cur == -* ]]; then
                words_here="-h --help --check --boards --on-result --on-result-timeout --json --log --trace"
            else
                _filedir ini
                return
            fi
            ;;
        loader)
            case $sub in
                "") words_here="-h --help list write erase format clock dump" ;;
                list | format) words_here="-h --help -y --yes -p --port" ;;
                clock) words_here="-h --help -y --yes -p --port --sync" ;;
                write) words_here="-h --help -y --yes -p --port --block --name --fonts --image --firmware" ;;
                erase) words_here="-h --help -y --yes -p --port --block --all" ;;
                dump) words_here="-h --help -y --yes -p --port --block --out" ;;
            esac
            ;;
    esac
    COMPREPLY=($(compgen -W "$words_here" -- "$cur"))
}
complete -F _flasher_cli flasher-cli
