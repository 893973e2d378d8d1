# bash completion for zovex-render
_zovex_render()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        --category)
            mapfile -t COMPREPLY < <(compgen -W '1 2 3 4 5 6 7 8 9 10' -- "$cur")
            return ;;
        --format)
            mapfile -t COMPREPLY < <(compgen -W 'bmp png' -- "$cur")
            return ;;
        --out)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            return ;;
        --labels)
            mapfile -t COMPREPLY < <(compgen -W '-' -- "$cur")
            return ;;
        --scale)
            mapfile -t COMPREPLY < <(compgen -W '1 1.25 1.5 1.75 2 3 4 5 6 7 8' -- "$cur")
            return ;;
        --count|--from|--jobs|--state|--line-width|--draw-mode|--text2|--text3|--text4|--label)
            return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--category --count --from --out --state --line-width
            --draw-mode --text2 --text3 --text4 --format --scale --jobs --label --labels --help --version' -- "$cur")
    fi
}
complete -F _zovex_render zovex-render
