#!/usr/bin/env bash
# The bash completion of pcinfo-cli, run as bash runs it on TAB, against the
# built program. Usage: completion-test.sh COMPLETION-FILE PROGRAM-FOLDER
set -euo pipefail
PATH="$2:$PATH"
# The two helpers of the bash-completion package it uses, reduced to what
# they do here.
_init_completion() {
  words=("${COMP_WORDS[@]}")
  cword=$COMP_CWORD
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD - 1]}
}
_filedir() { COMPREPLY=(); }
complete() { :; }
source "$1"

failed=0
complete_line() {  # the words of the line; completes the last one
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  _pcinfo_cli
}
expect() {  # what, then the expected replies, sorted, one a line
  local what=$1 got want
  shift
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
  want=$(printf '%s\n' "$@" | LC_ALL=C sort)
  if [[ $got != "$want" ]]; then
    printf 'FAIL %s\n  got:\n%s\n  want:\n%s\n' "$what" "$got" "$want"
    failed=1
  fi
}

complete_line pcinfo-cli run command1
expect "lower case, several left: names with captions" \
  "command1  論理ドライブ" "command10  物理ディスクドライブ" "command11  システムのディスプレイ構成情報" \
  "command12  システムのビデオアダプタの構成" "command13  DMA(ダイレクト・メモリ・アクセス)チャンネル" \
  "command14  冷却ファン" "command15  フロッピーディスクコントローラの能力と管理機能" \
  "command16  フロッピーディスクドライブの能力" "command17  冷却用ヒートパイプ" "command18  IDEコントローラ" \
  "command19  IRQ"
complete_line pcinfo-cli --from x.json run Command40 COMMAND6
expect "upper case, after other buttons" "COMMAND6  CDROMドライブ" "COMMAND60  OS情報" "COMMAND63  バッテリー"
complete_line pcinfo-cli run cOmmand40
expect "one left: the name alone" "cOmmand40"
complete_line pcinfo-cli run cpu
expect "no button" 
complete_line pcinfo-cli run --fr
expect "options" "--from"
exit $failed
