# bash completion for tolvren-cli                          -*- shell-script -*-
# The options are read from the program's own --help, so they follow it; only the values
# of the options that take a word are listed here.

_tolvren_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -h | --help | -V | --version | -a | --author | --ass-lead | --ass-linger | --ass-size | \
            --ass-style | --shift)
            return
            ;;
        --ass-rows)
            COMPREPLY=($(compgen -W '1 2 3 4' -- "$cur"))
            return
            ;;
        -f | --format)
            COMPREPLY=($(compgen -W 'kmc xml lrc ass ttml srt' -- "$cur"))
            return
            ;;
        --lrc-style)
            COMPREPLY=($(compgen -W 'enhanced plain' -- "$cur"))
            return
            ;;
        --lrc-precision)
            COMPREPLY=($(compgen -W '2 3' -- "$cur"))
            return
            ;;
        --chinese)
            COMPREPLY=($(compgen -W 's2t s2tw s2twp s2hk t2s tw2s tw2sp hk2s' -- "$cur"))
            return
            ;;
        -e | --encoding)
            COMPREPLY=($(compgen -W 'auto gbk gb18030 big5 big5-hkscs utf-8 utf-16le
                utf-16be shift_jis euc-kr' -- "$cur"))
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        # Each option once, even if a wrapped line of the help should ever start with one.
        COMPREPLY=($(compgen -W '$(_parse_help "$1" | sort -u)' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    # SOURCE is a folder or one script; TARGET_DIR is a folder.
    local args
    _count_args "" "@(-a|--author|-f|--format|-e|--encoding|--chinese|--ass-@(rows|lead|linger|size|style)|--lrc-@(style|precision)|--shift)"
    if ((args == 1)); then
        _filedir 'ksc*'
    else
        _filedir -d
    fi
} &&
    complete -F _tolvren_cli tolvren-cli

# ex: filetype=sh
