#!/usr/bin/env bash
# The window program's command line, answered on the terminal without a
# window: --help, --version, an unknown option, and no display.
# Usage: program-test.sh PCINFO VERSION
set -uo pipefail
pcinfo=$1 version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The toolkit warns of a missing runtime folder; that line is not the program's.
export XDG_RUNTIME_DIR=$tmp/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
failed=0
run() {  # expected status, then the command; leaves $tmp/out and $tmp/err
  local want=$1
  shift
  timeout 20 "$@" >"$tmp/out" 2>"$tmp/err"
  local got=$?
  if [ "$got" -ne "$want" ]; then
    echo "FAIL: $* exited $got, not $want; stderr: $(cat "$tmp/err")"
    failed=1
  fi
}
lines() { wc -l <"$1"; }
check() {  # what, condition...
  local what=$1
  shift
  "$@" || { echo "FAIL: $what"; failed=1; }
}

for help in --help -h; do
  run 0 env -u DISPLAY -u WAYLAND_DISPLAY "$pcinfo" $help
  check "$help names --from" grep -q -- '--from SNAPSHOT' "$tmp/out"
  check "$help writes nothing on stderr" test ! -s "$tmp/err"
done
run 0 env -u DISPLAY -u WAYLAND_DISPLAY "$pcinfo" --version
check "--version" test "$(cat "$tmp/out")" = "pcinfo $version"

run 2 env QT_QPA_PLATFORM=offscreen "$pcinfo" --wide
check "an unknown option is one line on stderr" test "$(lines "$tmp/err")" -eq 1 -a ! -s "$tmp/out"
check "an unknown option is named" grep -q -- '--wide' "$tmp/err"

for display in "" ":97"; do
  run 2 env -u WAYLAND_DISPLAY DISPLAY="$display" QT_QPA_PLATFORM=xcb "$pcinfo"
  check "no display ($display): one line" test "$(lines "$tmp/err")" -eq 1 -a ! -s "$tmp/out"
  check "no display ($display): says so" grep -q 'no display' "$tmp/err"
done
exit $failed
