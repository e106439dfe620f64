# bash completion for quorlind-bench. The option lists follow the tool's
# --help; tests/host/tools/completion_test.py checks that they still do.

_quorlind_bench() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}

    local command= i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            compare | report)
                command=${COMP_WORDS[i]}
                break
                ;;
        esac
    done

    local options
    case $command in
        compare)
            options="--help --threshold --confidence --detect --same-machine --json --html --markdown"
            case $prev in
                --threshold | --confidence | --detect) return 0 ;;
                --html | --markdown | --json)
                    COMPREPLY=($(compgen -f -- "$cur"))
                    compopt -o filenames 2>/dev/null
                    return 0
                    ;;
            esac
            ;;
        report)
            options="--help --html --openmetrics"
            case $prev in
                --html | --openmetrics)
                    COMPREPLY=($(compgen -f -- "$cur"))
                    compopt -o filenames 2>/dev/null
                    return 0
                    ;;
            esac
            ;;
        *)
            options="--help --threads --repeat --warmup --measure --json --csv --html --markdown --openmetrics --dry-run --quiet --version --system"
            case $prev in
                --threads)
                    COMPREPLY=($(compgen -W "single all both" -- "$cur"))
                    return 0
                    ;;
                --repeat | --warmup | --measure) return 0 ;;
                --json | --csv | --html | --markdown | --openmetrics)
                    COMPREPLY=($(compgen -f -- "$cur"))
                    compopt -o filenames 2>/dev/null
                    return 0
                    ;;
            esac
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "compare report" -- "$cur"))
    else
        # Saved results: JSON files, and folders to reach them.
        COMPREPLY=($(compgen -f -X '!*.json' -- "$cur") $(compgen -d -- "$cur"))
        compopt -o filenames 2>/dev/null
    fi
    return 0
}

complete -F _quorlind_bench quorlind-bench
