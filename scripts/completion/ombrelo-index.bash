# bash completion for ombrelo-index
_ombrelo_index_templates() {
  # The names of one section of --list-templates: "web" or "index".
  "$1" --list-templates 2>/dev/null | awk -v want="$2" '
    /^Web page templates/ { section = "web"; next }
    /^Index photo templates/ { section = "index"; next }
    section == want && /^  / { print $1 }'
}

_ombrelo_index() {
  local cur prev words cword
  _init_completion -s || return
  case "$prev" in
    --project | --settings | --save | --merge)
      _filedir obx
      return
      ;;
    --out)
      _filedir -d
      return
      ;;
    --format)
      COMPREPLY=($(compgen -W "jpg bmp" -- "$cur"))
      return
      ;;
    --html-template)
      COMPREPLY=($(compgen -W "$(_ombrelo_index_templates "$1" web)" -- "$cur"))
      return
      ;;
    --index-template)
      COMPREPLY=($(compgen -W "$(_ombrelo_index_templates "$1" index)" -- "$cur"))
      return
      ;;
    --start-after | --every | --least | --quality | --jobs | --shard | -s | --size | --time-limit)
      return
      ;;
  esac
  $split && return
  if [[ "$cur" == -* && " ${words[*]} " == *" --thumbnail "* ]]; then
    # The file managers' thumbnailer: INPUT and OUTPUT.png after these.
    COMPREPLY=($(compgen -W "--size --time-limit" -- "$cur"))
    return
  fi
  if [[ "$cur" == -* ]]; then
    COMPREPLY=($(compgen -W "--project --settings --save --out --start-after --every --least
      --quality --format --no-html --no-playlist --no-index-photo --skip-blank
      --no-deinterlace --allow-many-thumbnails --html-template --index-template
      --list-templates --jobs --shard --merge --quiet --json --version --help --thumbnail" -- "$cur"))
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi
  # Videos and folders (the project files of the parts after --merge).
  if [[ " ${words[*]} " == *" --merge "* ]]; then
    _filedir obx
  else
    _filedir
  fi
}
complete -F _ombrelo_index ombrelo-index
