# bash completion for pcinfo-cli
_pcinfo_cli() {
  local cur prev words cword
  _init_completion || return
  local commands="run all buttons classes dump snapshot diff export"
  local global="--from --tree -o --output --help -h --version"
  case $prev in
    --from) _filedir json; return ;;
    --tree|--info) _filedir -d; return ;;
    -o|--output|--db) _filedir; return ;;
    --namespace) COMPREPLY=($(compgen -W "cimv2 wmi" -- "$cur")); return ;;
    --csv) COMPREPLY=($(compgen -W "$(pcinfo-cli classes 2>/dev/null | tr -d '\r')" -- "$cur")); return ;;
  esac
  local command="" w
  for w in "${words[@]:1:cword-1}"; do
    case " $commands " in *" $w "*) command=$w; break ;; esac
  done
  case $command in
    "") COMPREPLY=($(compgen -W "$commands $global" -- "$cur")) ;;
    run)
      COMPREPLY=($(compgen -W "$(pcinfo-cli buttons 2>/dev/null | cut -f1) $global" -- "$cur")) ;;
    dump)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--namespace --info $global" -- "$cur"))
      else
        COMPREPLY=($(compgen -W "$(pcinfo-cli classes 2>/dev/null | tr -d '\r')" -- "$cur"))
      fi ;;
    snapshot) COMPREPLY=($(compgen -W "--sanitize --sanitize-key $global" -- "$cur")) ;;
    diff)
      if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W "--all --json $global" -- "$cur")); else _filedir json; fi ;;
    export)
      if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W "--db --csv $global" -- "$cur")); else _filedir json; fi ;;
    *) COMPREPLY=($(compgen -W "$global" -- "$cur")) ;;
  esac
}
complete -F _pcinfo_cli pcinfo-cli
