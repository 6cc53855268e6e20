# bash completion for pcinfo-cli

# Button names in any case, completed in the case typed so far ("comm" gives
# command1 ...). Where more than one is left, the list shows each with its
# caption; the line only ever gets the common part of the names.
_pcinfo_cli_buttons() {
  local name group caption rest lower=${cur,,}
  local -a names=() shown=()
  while IFS=$'\t' read -r name group caption rest; do
    [[ -n $name && ${name,,} == "$lower"* ]] || continue
    names+=("$cur${name:${#cur}}")
    shown+=("$cur${name:${#cur}}  $caption")
  done < <(pcinfo-cli buttons 2>/dev/null | tr -d '\r')
  if ((${#names[@]} > 1)); then COMPREPLY=("${shown[@]}"); else COMPREPLY=("${names[@]}"); fi
}

_pcinfo_cli() {
  local cur prev words cword
  _init_completion || return
  local commands="summary run all buttons classes dump snapshot diff export"
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
      if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W "$global" -- "$cur")); else _pcinfo_cli_buttons; fi ;;
    dump)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--namespace --info $global" -- "$cur"))
      else
        COMPREPLY=($(compgen -W "$(pcinfo-cli classes 2>/dev/null | tr -d '\r')" -- "$cur"))
      fi ;;
    summary) COMPREPLY=($(compgen -W "--json $global" -- "$cur")) ;;
    snapshot) COMPREPLY=($(compgen -W "--sanitize --sanitize-key $global" -- "$cur")) ;;
    diff)
      if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W "--all --json $global" -- "$cur")); else _filedir json; fi ;;
    export)
      if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W "--db --csv $global" -- "$cur")); else _filedir json; fi ;;
    *) COMPREPLY=($(compgen -W "$global" -- "$cur")) ;;
  esac
}
complete -F _pcinfo_cli pcinfo-cli
