# bash completion for ombrelo
_ombrelo() {
  local cur prev words cword
  _init_completion || return
  if [[ "$cur" == -* ]]; then
    COMPREPLY=($(compgen -W "--version -nohandler" -- "$cur"))
    return
  fi
  _filedir '@(obx|ipl)'
}
complete -F _ombrelo ombrelo
