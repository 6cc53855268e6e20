#!/usr/bin/env bash
# The Wine test stage: cross-builds pcinfo-cli.exe and the window pcinfo.exe
# with mingw-w64, runs them in a fresh Wine prefix against Wine's WMI service,
# compares the Windows build with the Linux build on the recorded snapshots of
# tests/data, checks the window on a virtual display (window-checks.sh), and
# unpacks the portable zip and runs its programs.
#
# Usage, from the repository root:
#   tests/wine/run-stage.sh [LINUX_PCINFO_CLI]
# The Linux build's pcinfo-cli is the argument, else $PCINFO_LINUX_CLI, else
# build/default/bin/pcinfo-cli (built with the default preset when absent).
# PCINFO_WINE_REFRESH=1 also copies the capture of Wine's service into
# tests/data/wine-wmi.json and the window's screenshot into
# docs/windows-window.png.
#
# Prints one line per check and closes with "N passed, N failed"; the exit
# status is 1 when any check failed.
set -u

root=$(pwd)
if [[ ! -f "$root/CMakePresets.json" || ! -d "$root/wmi" ]]; then
  echo "run-stage.sh: run it from the repository root" >&2
  exit 2
fi

linux_cli=${1:-${PCINFO_LINUX_CLI:-build/default/bin/pcinfo-cli}}
work=build/wine-stage
exe_dir=build/mingw/bin
cli_exe=$exe_dir/pcinfo-cli.exe
started=$(date +%s)

passed=0
failed=0
pass() {
  passed=$((passed + 1))
  echo "PASS $1"
}
fail() {
  failed=$((failed + 1))
  echo "FAIL $1${2:+: $2}"
}
finished=0
finish() {
  finished=1
  echo "stage took $(($(date +%s) - started)) s"
  echo "$passed passed, $failed failed"
  [[ $failed -eq 0 ]]
  exit $?
}
# A stage that stops before its end has failed.
on_exit() {
  local status=$?
  stop_wine
  if [[ $finished -eq 0 ]]; then
    failed=$((failed + 1))
    echo "FAIL the stage stopped before its end (status $status)"
    echo "$passed passed, $failed failed"
    exit 1
  fi
}
# Stops the wineserver of the stage's own prefix, once that prefix is in use.
stage_prefix=
stop_wine() { [[ -n $stage_prefix ]] && WINEPREFIX=$stage_prefix wineserver -k > /dev/null 2>&1 || true; }
trap on_exit EXIT

# --- tools ----------------------------------------------------------------

need=()
command -v x86_64-w64-mingw32-g++-posix > /dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v wine > /dev/null || need+=(wine)
[[ -x /usr/lib/wine/wine64 ]] || command -v wine64 > /dev/null || need+=(wine64)
{ command -v localedef > /dev/null && [[ -f /usr/share/i18n/locales/ja_JP ]]; } || need+=(locales)
[[ -f /usr/src/googletest/CMakeLists.txt ]] || need+=(googletest)
command -v xvfb-run > /dev/null || need+=(xvfb xauth)
command -v import > /dev/null || need+=(imagemagick)
command -v xdotool > /dev/null || need+=(xdotool)
command -v unzip > /dev/null || need+=(unzip)
if [[ ${#need[@]} -gt 0 ]]; then
  echo "installing ${need[*]}"
  as_root=()
  [[ $(id -u) -ne 0 ]] && command -v sudo > /dev/null && as_root=(sudo)
  if ! { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"; } > /dev/null; then
    fail "install ${need[*]}"
    finish
  fi
fi

rm -rf "$work"
mkdir -p "$work"
work_abs=$root/$work

# --- builds ---------------------------------------------------------------

if cmake --preset mingw > "$work/mingw-configure.log" 2>&1 &&
  cmake --build --preset mingw --target pcinfo-cli pcinfo pcinfo_probe wmi_windows_test wmi_windows_fake_test \
    > "$work/mingw-build.log" 2>&1; then
  pass "cross build of pcinfo-cli.exe, pcinfo.exe, pcinfo_probe.exe, wmi_windows_test.exe, wmi_windows_fake_test.exe"
else
  fail "cross build" "see $work/mingw-configure.log and $work/mingw-build.log"
  tail -20 "$work/mingw-build.log" 2> /dev/null
  finish
fi

# Fully static: no DLL of the compiler's run time beside the programs, only
# Windows' own.
system_dlls='advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|oleaut32|shell32|user32|ws2_32'
for exe in "$cli_exe" "$exe_dir/pcinfo.exe"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
  others=$(echo "$dlls" | tr ' ' '\n' | grep -vxE "(${system_dlls})\.dll|" | tr '\n' ' ')
  if [[ -n $dlls && -z ${others// /} ]]; then
    pass "$(basename "$exe") needs only Windows' own DLLs ($dlls)"
  else
    fail "$(basename "$exe") imports" "$others"
  fi
done

# The portable zip.
if cmake --build --preset mingw --target package > "$work/package.log" 2>&1 &&
  zip_file=$(ls build/mingw/pcinfo-*-windows-x64.zip 2> /dev/null | head -1) && [[ -n $zip_file ]]; then
  pass "package: $zip_file"
else
  zip_file=
  fail "package" "see $work/package.log"
fi

if [[ ! -x $linux_cli ]]; then
  if [[ $linux_cli == build/default/bin/pcinfo-cli ]]; then
    cmake --preset default > "$work/linux-configure.log" 2>&1 &&
      cmake --build --preset default --target pcinfo-cli > "$work/linux-build.log" 2>&1
  fi
fi
if [[ -x $linux_cli ]]; then
  pass "Linux pcinfo-cli at $linux_cli"
else
  fail "Linux pcinfo-cli" "$linux_cli is missing (see $work/linux-build.log)"
  finish
fi

# --- Wine -----------------------------------------------------------------

export WINEPREFIX=$work_abs/prefix
stage_prefix=$WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer
unset DISPLAY WAYLAND_DISPLAY

# Wine's helpers (wineserver, services) outlive the program; they must not
# hold a pipe of ours open, so every output goes to a file.
if wineboot -i > "$work/wineboot.log" 2>&1 < /dev/null; then
  pass "fresh Wine prefix"
else
  fail "wineboot -i" "see $work/wineboot.log"
  finish
fi

# wine_run NAME ARGS...: runs pcinfo-cli.exe with ARGS; stdout in
# $work/NAME.out, stderr in $work/NAME.err, status in $work/NAME.rc. The
# output is UTF-8 (--encoding utf8), to compare with the Linux build's; the
# console's code page is checked on its own below.
wine_run() {
  local name=$1
  shift
  wine "$cli_exe" --encoding utf8 "$@" > "$work/$name.out" 2> "$work/$name.err" < /dev/null
  echo $? > "$work/$name.rc"
}
linux_run() {
  local name=$1
  shift
  "$linux_cli" "$@" > "$work/$name.out" 2> "$work/$name.err" < /dev/null
  echo $? > "$work/$name.rc"
}
rc_of() { cat "$work/$1.rc"; }
exists() { [[ -e $1 ]] && echo yes || echo no; }

# Lines of a captured output without their CR LF; fails when a line does not
# end in exactly one CR LF (no bare LF, no CR CR LF).
crlf_lines() {
  local file=$1
  if [[ -s $file ]] && ! LC_ALL=C awk 'BEGIN { bad = 0 } !/[^\r]\r$/ && !/^\r$/ { bad = 1 } /\r\r$/ { bad = 1 } END { exit bad }' "$file"; then
    return 1
  fi
  [[ ! -s $file || $(tail -c 2 "$file" | od -An -tx1 | tr -d ' \n') == 0d0a ]] || return 1
  LC_ALL=C sed 's/\r$//' "$file" > "$file.lines"
}

hyphens() { printf '%*s' "$1" '' | tr ' ' '-'; }
header_tail=$(hyphens 90)
separator=$(hyphens 31)

wine "$exe_dir/wmi_windows_test.exe" > "$work/backend.out" 2> "$work/backend.err" < /dev/null
if [[ $? -eq 0 ]]; then
  pass "backend checks under Wine ($(tail -1 "$work/backend.out"))"
else
  fail "backend checks under Wine" "$(grep -c '^FAIL' "$work/backend.out") failed"
  grep '^FAIL' "$work/backend.out" | head -20
fi

# The backend over fake COM objects (GoogleTest): waits that time out, late
# COM security, apartments and threads, the window's wait, AutoSave's skips.
wine "$exe_dir/wmi_windows_fake_test.exe" > "$work/fake-com.out" 2> "$work/fake-com.err" < /dev/null
if [[ $? -eq 0 ]] && grep -q '^\[  PASSED  \]' "$work/fake-com.out"; then
  pass "backend over fake COM objects under Wine ($(grep '^\[  PASSED  \]' "$work/fake-com.out"))"
else
  fail "backend over fake COM objects under Wine" "see $work/fake-com.out"
  grep -E '^\[  FAILED  \]|Failure' "$work/fake-com.out" | head -20
fi

# Captions of the buttons, from the Linux build (control TAB group TAB caption TAB query).
linux_run buttons buttons
caption_of() { awk -F'\t' -v c="$1" '$1 == c { print $3 }' "$work/buttons.out"; }

# --- live outputs: structure, not Wine's values ---------------------------

wine_run live-cpu run Command40
if [[ $(rc_of live-cpu) -eq 0 ]] && crlf_lines "$work/live-cpu.out"; then
  f=$work/live-cpu.out.lines
  header=$(caption_of Command40)$header_tail
  separators=$(grep -cx -- "$separator" "$f")
  others=$(grep -vx -- "$separator" "$f" | tail -n +2 | grep -cvE '^[A-Za-z0-9_]+: ')
  if [[ $(sed -n 1p "$f") == "$header" && $(sed -n 2p "$f") == "$separator" && $separators -ge 1 && $others -eq 0 ]] &&
    grep -qE '^Name: [^[:space:]]' "$f"; then
    pass "run Command40: header, separator, processor lines with a non-empty Name"
  else
    fail "run Command40" "unexpected structure, see $f"
  fi
else
  fail "run Command40" "status $(rc_of live-cpu) or line ends, see $work/live-cpu.out"
fi

wine_run live-disk run Command10
if [[ $(rc_of live-disk) -eq 0 ]] && crlf_lines "$work/live-disk.out"; then
  f=$work/live-disk.out.lines
  header=$(caption_of Command10)$header_tail
  blocks=$(grep -cx -- "$separator" "$f")
  ids=$(grep -c '^DeviceID: ' "$f")
  # Each block: the separator, then property lines, one DeviceID among them.
  shape=$(tail -n +2 "$f" | awk -v sep="$separator" '
    $0 == sep { if (n && ids != 1) bad = 1; n++; ids = 0; next }
    !n || $0 !~ /^[A-Za-z0-9_]+: / { bad = 1 }
    /^DeviceID: / { ids++ }
    END { if (!n || ids != 1) bad = 1; print bad ? "bad" : "ok" }')
  if [[ $(sed -n 1p "$f") == "$header" && $blocks -ge 1 && $blocks -eq $ids && $shape == ok ]]; then
    pass "run Command10: one block per disk ($blocks)"
  else
    fail "run Command10" "blocks $blocks, DeviceID lines $ids, shape $shape; see $f"
  fi
else
  fail "run Command10" "status $(rc_of live-disk) or line ends, see $work/live-disk.out"
fi

wine_run live-os run Command60
if [[ $(rc_of live-os) -eq 0 ]] && crlf_lines "$work/live-os.out"; then
  f=$work/live-os.out.lines
  header=$(caption_of Command60)$header_tail
  lines=$(tail -n +2 "$f" | grep -cE '^[A-Za-z0-9_]+ = ')
  others=$(tail -n +2 "$f" | grep -cvE '^[A-Za-z0-9_]+ = ')
  if [[ $(sed -n 1p "$f") == "$header" && $lines -ge 10 && $others -eq 0 ]] && grep -q '^Caption = .' "$f"; then
    pass "run Command60: header and $lines name = value lines"
  else
    fail "run Command60" "$lines name = value lines, $others others; see $f"
  fi
else
  fail "run Command60" "status $(rc_of live-os) or line ends, see $work/live-os.out"
fi

mkdir -p "$work/info-nosuch"
wine_run live-nosuch dump --namespace nosuch --info "$work/info-nosuch" Win32_Processor
# A namespace that is not there is bad input (status 2, stderr names it);
# the pane still shows the failed query.
if [[ $(rc_of live-nosuch) -eq 2 && $(od -An -c "$work/live-nosuch.out" | tr -d ' \n') == \
  "$(printf '%s\r\n%s\r\n' "$header_tail" "$separator" | od -An -c | tr -d ' \n')" ]] &&
  grep -q 'nosuch' "$work/live-nosuch.err"; then
  pass "dump --namespace nosuch: header and one separator, status 2"
else
  fail "dump --namespace nosuch" "status $(rc_of live-nosuch), see $work/live-nosuch.out and .err"
fi

live_all_started=$(date +%s)
wine_run live-all all
live_all_took=$(($(date +%s) - live_all_started))
for n in $(seq 1 60); do caption_of "Command$n"; done | sed "s/\$/$header_tail/" > "$work/headers.want"
if [[ $(rc_of live-all) -eq 0 ]] && crlf_lines "$work/live-all.out"; then
  grep -- "$header_tail\$" "$work/live-all.out.lines" > "$work/headers.got"
  if [[ $(wc -l < "$work/headers.want") -eq 60 ]] && cmp -s "$work/headers.want" "$work/headers.got"; then
    pass "all: ran to the end with the 60 headers in order (${live_all_took} s)"
  else
    fail "all" "headers differ from Command1..Command60, see $work/headers.got"
  fi
else
  fail "all" "status $(rc_of live-all) or line ends, see $work/live-all.out"
fi

# --- the capture replays Wine's answers -----------------------------------

# Labels only: values such as free memory and clock readings change between runs.
mask_values() { sed -E 's/^([A-Za-z0-9_]+)(: | = |:).*$/\1\2/' "$1"; }

wine_run snapshot snapshot
cp "$work/snapshot.out" "$work/wine-wmi.json"
linux_run replay --from "$work/wine-wmi.json" all
if [[ $(rc_of snapshot) -eq 0 && $(rc_of replay) -eq 0 ]] &&
  cmp -s <(mask_values "$work/replay.out") <(mask_values "$work/live-all.out"); then
  pass "snapshot of Wine's service: the Linux build replays it as Wine answered (labels of all)"
else
  fail "snapshot replay" "status $(rc_of snapshot)/$(rc_of replay); compare $work/replay.out with $work/live-all.out"
fi
linux_run snapshot-cpu --from "$work/wine-wmi.json" run Command40
if [[ $(rc_of snapshot) -eq 0 && $(rc_of snapshot-cpu) -eq 0 ]] && grep -qE '^Name: [^[:space:]]' "$work/snapshot-cpu.out"; then
  pass "snapshot under Wine: a snapshot the Linux build reads, with the processor"
  if [[ ${PCINFO_WINE_REFRESH:-0} == 1 ]]; then
    cp "$work/wine-wmi.json" tests/data/wine-wmi.json && echo "tests/data/wine-wmi.json refreshed"
  fi
else
  fail "snapshot under Wine" "status $(rc_of snapshot), then $(rc_of snapshot-cpu) reading it; see $work/snapshot.err"
fi

# --- one behaviour on both platforms: the recorded snapshots ---------------

dump_classes=(Win32_Processor Win32_DiskDrive Win32_BIOS Win32_OperatingSystem Win32_Printer Win32_Fan Win32_NoSuchClass)
for snap in tests/data/*.json; do
  s=$(basename "$snap" .json)
  linux_run "lin-$s-all" --from "$snap" all
  wine_run "win-$s-all" --from "$snap" all
  if [[ $(rc_of "lin-$s-all") -eq 0 && $(rc_of "win-$s-all") -eq 0 ]] &&
    cmp -s "$work/lin-$s-all.out" "$work/win-$s-all.out"; then
    pass "--from $snap all: Windows and Linux byte for byte"
  else
    fail "--from $snap all" "status $(rc_of "lin-$s-all")/$(rc_of "win-$s-all"); cmp $work/lin-$s-all.out $work/win-$s-all.out"
  fi
  for cls in "${dump_classes[@]}"; do
    mkdir -p "$work/info-lin-$s" "$work/info-win-$s"
    linux_run "lin-$s-$cls" --from "$snap" dump --info "$work/info-lin-$s" "$cls"
    wine_run "win-$s-$cls" --from "$snap" dump --info "$work/info-win-$s" "$cls"
    lf=$work/info-lin-$s/$cls.txt
    wf=$work/info-win-$s/$cls.txt
    why=
    # A class the capture lacks is bad input (status 2) on both.
    want_rc=0
    [[ $cls == Win32_NoSuchClass ]] && want_rc=2
    [[ $(rc_of "lin-$s-$cls") -eq $want_rc && $(rc_of "win-$s-$cls") -eq $want_rc ]] || why="status $(rc_of "lin-$s-$cls")/$(rc_of "win-$s-$cls")"
    [[ -z $why ]] && ! cmp -s "$work/lin-$s-$cls.out" "$work/win-$s-$cls.out" && why="pane text differs"
    [[ -z $why && $(exists "$lf") != $(exists "$wf") ]] && why="only one side wrote $cls.txt"
    # The file is in the ANSI code page: the same bytes wherever the text is ASCII.
    if [[ -z $why && -f $lf ]] && ! LC_ALL=C grep -q '[^ -~'$'\t\r'']' "$lf" && ! cmp -s "$lf" "$wf"; then
      why="$cls.txt differs"
    fi
    if [[ -z $why ]]; then
      pass "--from $snap dump $cls: Windows and Linux alike"
    else
      fail "--from $snap dump $cls" "$why"
    fi
  done
done

# Without --info the dump goes into the info folder beside the program,
# wherever the program is started from.
info_dir=$exe_dir/info
mkdir -p "$info_dir"
rm -f "$info_dir/Win32_BIOS.txt"
(cd "$work" && wine "$root/$cli_exe" --from "$root/tests/data/wine-check.json" dump Win32_BIOS \
  > beside.out 2> beside.err < /dev/null)
if [[ $? -eq 0 && -f $info_dir/Win32_BIOS.txt ]] && cmp -s "$info_dir/Win32_BIOS.txt" "$work/info-win-wine-check/Win32_BIOS.txt"; then
  pass "dump without --info writes info\\Win32_BIOS.txt beside pcinfo-cli.exe"
else
  fail "dump without --info" "no $info_dir/Win32_BIOS.txt like $work/info-win-wine-check/Win32_BIOS.txt"
fi

# --- dump file in the ANSI code page: Japanese under code page 932 ----------

locales=$work_abs/locale
if mkdir -p "$locales" && localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" > "$work/localedef.log" 2>&1; then
  mkdir -p "$work/info-ja"
  # Wine takes its code page from the locale: 932 for Japanese.
  env -u LC_ALL -u LC_CTYPE LOCPATH="$locales" LANG=ja_JP.UTF-8 \
    wine "$cli_exe" --encoding utf8 --from tests/data/wine-check.json dump --info "$work/info-ja" Win32_Printer \
    > "$work/ja-dump.out" 2> "$work/ja-dump.err" < /dev/null
  echo $? > "$work/ja-dump.rc"
  file=$work/info-ja/Win32_Printer.txt
  if [[ $(rc_of ja-dump) -eq 0 && -f $file ]] && crlf_lines "$work/ja-dump.out"; then
    # The file holds the pane's property lines, quoted, CR LF, in Shift_JIS.
    grep -vx -e "$header_tail" -e "$separator" "$work/ja-dump.out.lines" | sed 's/.*/"&"\r/' |
      iconv -f UTF-8 -t CP932 > "$work/ja-dump.want"
    known=$(printf '"Caption:日本語プリンター"\r\n' | iconv -f UTF-8 -t CP932)
    if [[ -s $work/ja-dump.want ]] && cmp -s "$work/ja-dump.want" "$file" && grep -qF "$known" "$file"; then
      pass "dump under LANG=ja_JP.UTF-8: Win32_Printer.txt in CP932, quoted, CR LF"
    else
      fail "dump under LANG=ja_JP.UTF-8" "compare $file with $work/ja-dump.want"
    fi
  else
    fail "dump under LANG=ja_JP.UTF-8" "status $(rc_of ja-dump), file $( [[ -f $file ]] && echo present || echo missing)"
  fi
else
  fail "ja_JP.UTF-8 locale" "see $work/localedef.log"
fi

# --- Japanese folders: the program's own, --info, --from ---------------------

# Wine reads the command line in the Unix locale's character set: UTF-8 here.
ja_home=$work/山田/デスクトップ
ja_out=$work/出力
mkdir -p "$ja_home/info" "$ja_out"
cp "$cli_exe" "$ja_home/"
cp tests/data/wine-check.json "$ja_out/スナップ.json"
LC_ALL=C.UTF-8 wine "$ja_home/pcinfo-cli.exe" --encoding utf8 --from "$ja_out/スナップ.json" dump Win32_BIOS \
  > "$work/ja-home.out" 2> "$work/ja-home.err" < /dev/null
echo $? > "$work/ja-home.rc"
if [[ $(rc_of ja-home) -eq 0 ]] && cmp -s "$ja_home/info/Win32_BIOS.txt" "$work/info-win-wine-check/Win32_BIOS.txt" &&
  cmp -s "$work/ja-home.out" "$work/win-wine-check-Win32_BIOS.out"; then
  pass "program in 山田\\デスクトップ, snapshot in 出力: the dump goes into info beside the program"
else
  fail "program in a Japanese folder" "status $(rc_of ja-home); see $work/ja-home.err and $ja_home/info"
fi
LC_ALL=C.UTF-8 wine "$cli_exe" --from tests/data/wine-check.json dump --info "$ja_out" Win32_Printer \
  > "$work/ja-info.out" 2> "$work/ja-info.err" < /dev/null
echo $? > "$work/ja-info.rc"
if [[ $(rc_of ja-info) -eq 0 ]] && cmp -s "$ja_out/Win32_Printer.txt" "$work/info-win-wine-check/Win32_Printer.txt"; then
  pass "dump --info 出力 writes 出力\\Win32_Printer.txt"
else
  fail "dump --info into a Japanese folder" "status $(rc_of ja-info); see $work/ja-info.err and $ja_out"
fi

# A file that cannot be written is named whole on stderr (the path as UTF-16
# all the way, not through the ANSI code page).
# (A missing --info folder is made; one below a file cannot be.)
echo file > "$ja_out/無い"
wine_run ja-fail --from tests/data/wine-check.json dump --info "$ja_out/無い/下" Win32_BIOS
if [[ $(rc_of ja-fail) -eq 1 ]] && grep -q "出力.無い.下.Win32_BIOS.txt" "$work/ja-fail.err"; then
  pass "dump into a Japanese folder that cannot be made: status 1, the path named whole on stderr"
else
  fail "dump into a Japanese folder that cannot be made" "status $(rc_of ja-fail), see $work/ja-fail.err"
fi

# Where the info folder beside the program cannot be written (here a file
# stands in its place), dump takes the window's per-user folder and says so.
ro_home=$work/ro-program
mkdir -p "$ro_home"
cp "$cli_exe" "$ro_home/"
echo "not a folder" > "$ro_home/info"
wine "$ro_home/pcinfo-cli.exe" --encoding utf8 --from tests/data/wine-check.json dump Win32_BIOS \
  > "$work/per-user.out" 2> "$work/per-user.err" < /dev/null
echo $? > "$work/per-user.rc"
per_user=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/pcinfo/info/Win32_BIOS.txt' 2> /dev/null | head -1)
if [[ $(rc_of per-user) -eq 0 && -n $per_user ]] && grep -q 'pcinfo.info' "$work/per-user.err" &&
  cmp -s "$per_user" "$work/info-win-wine-check/Win32_BIOS.txt"; then
  pass "dump beside a program whose info cannot be written: %LOCALAPPDATA%\\pcinfo\\info, told on stderr"
else
  fail "dump with the per-user fallback" "status $(rc_of per-user), file '${per_user}', see $work/per-user.err"
fi

# The help points to -o FILE and names the start options.
wine_run help --help
if [[ $(rc_of help) -eq 0 ]] && grep -q -- "-o all.txt" "$work/help.out" && grep -q -- "--timeout SECONDS" "$work/help.out" &&
  grep -q -- "--encoding utf8" "$work/help.out"; then
  pass "--help names --timeout and --encoding and points to -o FILE"
else
  fail "--help" "see $work/help.out"
fi

# --- redirected output: the console's code page, or UTF-8 when asked ---------

if [[ -d $locales/ja_JP.UTF-8 ]]; then
  for cmd in buttons "run Command10 Command48"; do
    name=redirect-${cmd// /-}
    # shellcheck disable=SC2086
    env -u LC_ALL -u LC_CTYPE LOCPATH="$locales" LANG=ja_JP.UTF-8 \
      wine "$cli_exe" --from tests/data/wine-check.json $cmd > "$work/$name.win" 2> "$work/$name.err" < /dev/null
    # shellcheck disable=SC2086
    env -u LC_ALL -u LC_CTYPE LOCPATH="$locales" LANG=ja_JP.UTF-8 \
      wine "$cli_exe" --encoding utf8 --from tests/data/wine-check.json $cmd > "$work/$name.utf8" 2> /dev/null < /dev/null
    # shellcheck disable=SC2086
    "$linux_cli" --from tests/data/wine-check.json $cmd > "$work/$name.lin" 2> /dev/null < /dev/null
    iconv -f UTF-8 -t CP932 "$work/$name.lin" > "$work/$name.932" 2> /dev/null
    if cmp -s "$work/$name.win" "$work/$name.932" && cmp -s "$work/$name.utf8" "$work/$name.lin" &&
      grep -q "$(caption_of Command10)" "$work/$name.utf8"; then
      pass "$cmd > file under code page 932: Shift_JIS, and with --encoding utf8 the Linux bytes"
    else
      fail "$cmd > file under code page 932" "cmp $work/$name.win $work/$name.932; cmp $work/$name.utf8 $work/$name.lin"
    fi
  done
  env -u LC_ALL -u LC_CTYPE LOCPATH="$locales" LANG=ja_JP.UTF-8 \
    wine "$cli_exe" --from tests/data/wine/best-fit.json snapshot Win32_Printer > "$work/redirect-snapshot.win" \
    2> "$work/redirect-snapshot.err" < /dev/null
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$work/redirect-snapshot.win"; } > "$work/redirect-snapshot.utf16"
  "$linux_cli" --from "$work/redirect-snapshot.utf16" dump --info "$work" Win32_Printer > "$work/redirect-snapshot.lin" \
    2> /dev/null < /dev/null
  "$linux_cli" --from tests/data/wine/best-fit.json dump --info "$work" Win32_Printer > "$work/redirect-snapshot.want" \
    2> /dev/null < /dev/null
  if [[ -s $work/redirect-snapshot.win ]] && ! LC_ALL=C grep -q '[^ -~'$'\t\r'']' "$work/redirect-snapshot.win" &&
    cmp -s "$work/redirect-snapshot.lin" "$work/redirect-snapshot.want"; then
    pass "snapshot > file under code page 932: ASCII, and read back as UTF-16LE as PowerShell 5.1 saves it"
  else
    fail "snapshot > file under code page 932" "see $work/redirect-snapshot.win and .lin"
  fi
fi

# --- dump files: "?" for what the code page lacks, no look-alikes ------------

best_fit=tests/data/wine/best-fit.json
if [[ -d $locales/ja_JP.UTF-8 ]]; then
  mkdir -p "$work/info-bestfit-932"
  env -u LC_ALL -u LC_CTYPE LOCPATH="$locales" LANG=ja_JP.UTF-8 \
    wine "$cli_exe" --from "$best_fit" dump --info "$work/info-bestfit-932" Win32_Printer \
    > "$work/bestfit-932.out" 2> "$work/bestfit-932.err" < /dev/null
  printf '"Caption:Printer? Caf? ?100 ? \x93\xfa\x96\x7b"\r\n"Comment:A?Z \x81\x60 ?"\r\n"Name:P1"\r\n' > "$work/bestfit-932.want"
  if cmp -s "$work/bestfit-932.want" "$work/info-bestfit-932/Win32_Printer.txt"; then
    pass "dump under code page 932: ®, é, ¥, 〜, –, ¢ are \"?\", 日本 and ～ are Shift_JIS"
  else
    fail "dump under code page 932" "compare $work/info-bestfit-932/Win32_Printer.txt with $work/bestfit-932.want"
  fi
fi
if localedef -i en_US -f CP1252 "$locales/en_US.CP1252" > "$work/localedef-1252.log" 2>&1 ||
  [[ -d $locales/en_US.CP1252 ]]; then
  mkdir -p "$work/info-bestfit-1252-win" "$work/info-bestfit-1252-lin"
  env -u LC_ALL -u LC_CTYPE LOCPATH="$locales" LANG=en_US.CP1252 \
    wine "$cli_exe" --encoding utf8 --from "$best_fit" dump --info "$work/info-bestfit-1252-win" Win32_Printer \
    > "$work/bestfit-1252.win" 2> "$work/bestfit-1252.err" < /dev/null
  env -u LC_ALL -u LC_CTYPE LOCPATH="$locales" LANG=en_US.CP1252 \
    "$linux_cli" --from "$best_fit" dump --info "$work/info-bestfit-1252-lin" Win32_Printer \
    > "$work/bestfit-1252.lin" 2> /dev/null < /dev/null
  printf '"Caption:Printer\xae Caf\xe9 \xa5100 ? ??"\r\n"Comment:A\x96Z ? \xa2"\r\n"Name:P1"\r\n' > "$work/bestfit-1252.want"
  win_file=$work/info-bestfit-1252-win/Win32_Printer.txt
  lin_file=$work/info-bestfit-1252-lin/Win32_Printer.txt
  if cmp -s "$work/bestfit-1252.want" "$win_file" && cmp -s "$win_file" "$lin_file" &&
    cmp -s "$work/bestfit-1252.win" "$work/bestfit-1252.lin"; then
    pass "dump under code page 1252: the same file from Windows and Linux (〜 and 日本 are \"?\", no ~)"
  else
    fail "dump under code page 1252" "compare $win_file, $lin_file and $work/bestfit-1252.want"
  fi
else
  fail "en_US.CP1252 locale" "see $work/localedef-1252.log"
fi

# --- the window, on a virtual display ----------------------------------------

# The prefix's programs so far ran without a display: they end before the
# window's start them again with one.
stop_wine
window_env=(env LC_ALL=C.UTF-8)
[[ -d $locales/ja_JP.UTF-8 ]] && window_env=(env -u LC_ALL -u LC_CTYPE LOCPATH="$locales" LANG=ja_JP.UTF-8)
window_started=$(date +%s)
"${window_env[@]}" xvfb-run -a -s "-screen 0 2400x1600x24" tests/wine/window-checks.sh "$work_abs" \
  "$(realpath "$linux_cli")" "$zip_file" > "$work/window-checks.out" 2>&1 < /dev/null
stop_wine
while IFS= read -r line; do
  case $line in
    PASS\ *) pass "${line#PASS }" ;;
    FAIL\ *) fail "${line#FAIL }" ;;
  esac
done < "$work/window-checks.out"
grep -q '^PASS' "$work/window-checks.out" || fail "window checks" "none ran, see $work/window-checks.out"
echo "window checks took $(($(date +%s) - window_started)) s"
if [[ ${PCINFO_WINE_REFRESH:-0} == 1 && -s $work/window.png ]]; then
  cp "$work/window.png" docs/windows-window.png && echo "docs/windows-window.png refreshed"
fi

finish
