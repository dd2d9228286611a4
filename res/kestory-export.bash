# bash completion for kestory-export: its options, the values some of them take, and file names
# for the outputs and the photos.
_kestory_export() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}

    case $prev in
        --csv) _filedir csv; return ;;
        --png) _filedir png; return ;;
        --pdf) _filedir pdf; return ;;
        --svg) _filedir svg; return ;;
        --stats-csv) _filedir csv; return ;;
        --stats-png) _filedir png; return ;;
        --stats) COMPREPLY=($(compgen -W 'focal focal35 aperture shutter iso ev lens camera hour weekday month year' -- "$cur")); return ;;
        --color-by) COMPREPLY=($(compgen -W 'iso focal camera time' -- "$cur")); return ;;
        --iso-index) COMPREPLY=($(compgen -W '0 1 2 3 4 5 6 7 8 9 10' -- "$cur")); return ;;
        --magnify | --size | --threads | --cache-limit | --camera | --lens | --focal | --iso | --from | --to)
            return ;;
    esac

    local word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        # After "--" every word is a path.
        [[ $word == -- ]] && { _filedir; return; }
    done

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--csv --png --pdf --svg --stats --stats-csv --stats-png --magnify --size --marks --color-by --density
            --iso-index --recursive --threads --no-cache --cache-limit --all-kinds --no-raw-pairs --decode-all --help --camera --lens --focal
            --iso --from --to --' -- "$cur"))
        return
    fi
    _filedir
}
complete -F _kestory_export kestory-export
