#!/usr/bin/env bash
# The Win32 window under Wine, on the display this runs with (run-stage.sh
# starts it under xvfb-run): pcinfo.exe is started from a folder with a
# Japanese name on a capture in another one, and pcinfo_probe.exe reads it from
# outside. Prints one PASS or FAIL line per check.
#
# Usage, from the repository root, with WINEPREFIX set:
#   tests/wine/window-checks.sh WORK_DIR LINUX_PCINFO_CLI [ZIP]
# WORK_DIR receives the logs and window.png, the window's screenshot;
# PCINFO_WINE_SCREENSHOT=FILE also copies it there. ZIP, when given, is
# unpacked and its programs run.
set -u

work=$1
linux_cli=$2
zip=${3:-}
exe_dir=build/mingw/bin
golden=tests/data/app/window.layout.txt

pass() { echo "PASS $1"; }
fail() { echo "FAIL $1${2:+: $2}"; }
# Waits up to 20 s for the programs started here to end, then ends them.
settle() {
  local i
  for i in $(seq 1 100); do
    [[ -z $(jobs -rp) ]] && return
    sleep 0.2
  done
  echo "a window did not end; ending the prefix's programs"
  wineserver -k > /dev/null 2>&1
  wait
}

# A Japanese folder for the program (its info folder is made beside it) and
# another for the capture.
program_dir=$work/ウィンドウ/山田
capture_dir=$work/記録
rm -rf "$program_dir" "$capture_dir"
mkdir -p "$program_dir" "$capture_dir"
cp "$exe_dir/pcinfo.exe" "$program_dir/"
cp tests/data/desktop.json "$capture_dir/デスクトップ.json"
capture=$capture_dir/デスクトップ.json
probe=$exe_dir/pcinfo_probe.exe

# probe NAME ARGS...: output in $work/probe-NAME.out, status returned.
probe() {
  local name=$1
  shift
  wine "$probe" "$@" > "$work/probe-$name.out" 2> "$work/probe-$name.err" < /dev/null
}
# start NAME ARGS...: pcinfo.exe in the background, its output in $work/NAME.log.
start() {
  local name=$1
  shift
  wine "$program_dir/pcinfo.exe" "$@" > "$work/$name.log" 2>&1 < /dev/null &
}

# --- the window on a capture ---------------------------------------------------

started=$(date +%s%N)
start window --from "$capture"
if probe layout layout "$golden"; then
  pass "the window starts ($((($(date +%s%N) - started) / 1000000)) ms to its first answer): $(head -1 "$work/probe-layout.out" | tr -d '\r')"
else
  fail "the window's controls at the form's places" "$(grep -c . "$work/probe-layout.out") lines, see $work/probe-layout.out"
  head -10 "$work/probe-layout.out"
fi

probe title title
if [[ $(tr -d '\r' < "$work/probe-title.out") == "PC情報収集プログラム - デスクトップ.json" ]]; then
  pass "--from a capture in 記録: opened, and the title names it"
else
  fail "--from a capture in a Japanese folder" "title $(cat "$work/probe-title.out")"
fi

# A click fills the pane with what pcinfo-cli prints for the same button.
for button in Command40 Command10 Command60; do
  "$linux_cli" --from "$capture" run "$button" > "$work/cli-$button.txt" 2> /dev/null < /dev/null
  if probe "click-$button" click "$button" "$work/pane-$button.txt" &&
    cmp -s "$work/pane-$button.txt" "$work/cli-$button.txt" && [[ -s $work/cli-$button.txt ]]; then
    pass "click on $button: the pane holds pcinfo-cli run $button, byte for byte"
  else
    fail "click on $button" "cmp $work/pane-$button.txt $work/cli-$button.txt"
  fi
done

import -window root -trim +repage "$work/window.png" > "$work/import.log" 2>&1
if [[ -s $work/window.png ]]; then
  pass "screenshot $work/window.png"
  [[ -n ${PCINFO_WINE_SCREENSHOT:-} ]] && cp "$work/window.png" "$PCINFO_WINE_SCREENSHOT"
else
  fail "screenshot" "see $work/import.log"
fi

# A capture dropped on the window as a file manager drops it (XDND, which
# Wine's X11 driver turns into WM_DROPFILES) opens, and the title names it.
cp "$capture" "$capture_dir/落とした.json"
drop_window=$(xdotool search --name "PC情報収集プログラム" 2> /dev/null | head -1)
if [[ -n $drop_window ]] && /usr/bin/python3 tests/wine/xdnd-drop.py "$drop_window" "$capture_dir/落とした.json" \
  > "$work/drop.out" 2>&1 && sleep 1 && probe drop-title title &&
  [[ $(tr -d '\r' < "$work/probe-drop-title.out") == "PC情報収集プログラム - 落とした.json" ]]; then
  pass "a capture in 記録 dropped on the window: opened, and the title names it"
else
  fail "a capture dropped on the window" "$(cat "$work/drop.out" "$work/probe-drop-title.out" 2> /dev/null | tr '\n' ' ')"
fi

# Keys, typed on the virtual display into the window that has the focus.
# focus NAME: waits up to 10 s for a window titled NAME and gives it the focus.
focus() {
  local id i
  for i in $(seq 1 50); do
    id=$(xdotool search --name "$1" 2> /dev/null | head -1)
    [[ -n $id ]] && break
    sleep 0.2
  done
  [[ -n $id ]] && xdotool windowfocus --sync "$id" > /dev/null 2>&1 && sleep 0.3
}
# Ctrl+S: the save dialog takes a file name, and the file holds the pane's text
# (the last click's: OS情報). The name is typed key by key: ASCII.
saved=$work/saved/pane.txt
rm -rf "$work/saved"
mkdir -p "$work/saved"
focus "PC情報収集プログラム" && xdotool key ctrl+s && focus "結果を保存" &&
  xdotool type --delay 10 "Z:${saved//\//\\}" && xdotool key Return
for _ in $(seq 1 25); do
  [[ -s $saved ]] && break
  sleep 0.2
done
if cmp -s "$saved" "$work/cli-Command60.txt"; then
  pass "Ctrl+S saves the pane into the file typed in the save dialog, as pcinfo-cli prints it"
else
  fail "Ctrl+S" "no $saved like $work/cli-Command60.txt"
fi
# Ctrl+F: the find dialog selects a match in the pane ("Version" is there
# three times: ServicePackMajorVersion, ServicePackMinorVersion, Version).
focus "PC情報収集プログラム" && xdotool key ctrl+f && focus "検索" &&
  xdotool type --delay 10 "Version" && xdotool key Return && sleep 1
probe find selected at
first=$(tr -d '\r' < "$work/probe-find.out")
if [[ $first == *" Version" && $(grep -c Version "$work/cli-Command60.txt") -eq 3 ]]; then
  pass "Ctrl+F finds and selects \"Version\" in the pane"
else
  fail "Ctrl+F" "selected: $first"
fi
focus "検索" && xdotool key Escape && sleep 0.5
# F3 and Shift+F3, with the dialog closed: the next match, then back to the
# first (not on to the third).
focus "PC情報収集プログラム" && xdotool key F3 && sleep 0.5
probe find-next selected at
focus "PC情報収集プログラム" && xdotool key shift+F3 && sleep 0.5
probe find-previous selected at
next=$(tr -d '\r' < "$work/probe-find-next.out")
previous=$(tr -d '\r' < "$work/probe-find-previous.out")
if [[ $next == *" Version" && ${next%% *} -ne ${first%% *} && $previous == "$first" ]]; then
  pass "F3 selects the next \"Version\" (at ${next%% *}), Shift+F3 the one before (at ${first%% *})"
else
  fail "F3 and Shift+F3" "first \"$first\", F3 \"$next\", Shift+F3 \"$previous\""
fi
# The pane's context menu: すべて選択, the second entry, selects the whole text.
if focus "PC情報収集プログラム"; then
  eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name "PC情報収集プログラム" | head -1)")"
  # rtxtMsg's left and top are 9480 and 600 twips: 632 and 40 pixels at 96 dpi.
  xdotool mousemove $((X + 700)) $((Y + 200)) click 3 && sleep 1 && xdotool key Down Down Return && sleep 0.5
fi
probe select-all selected
if [[ -s $work/cli-Command60.txt ]] && cmp -s <(tr '\r' '\n' < "$work/probe-select-all.out" | sed '/^$/d') \
  <(tr -d '\r' < "$work/cli-Command60.txt" | sed '/^$/d'); then
  pass "the pane's context menu: すべて選択 selects the whole pane"
else
  fail "the pane's context menu" "see $work/probe-select-all.out"
fi
# Ctrl+I: the system summary at the end of the pane, as pcinfo-cli summary
# prints it in Japanese.
LC_ALL=ja_JP.UTF-8 "$linux_cli" --from "$capture" summary > "$work/cli-summary.txt" 2> /dev/null < /dev/null
focus "PC情報収集プログラム" && xdotool key ctrl+i && sleep 1
probe summary pane "$work/pane-summary.txt"
if [[ -s $work/cli-summary.txt ]] &&
  cmp -s <(tail -c "$(stat -c %s "$work/cli-summary.txt")" "$work/pane-summary.txt") "$work/cli-summary.txt"; then
  pass "Ctrl+I prints the summary into the pane, headed 概要, as pcinfo-cli summary prints it"
else
  fail "Ctrl+I" "the end of $work/pane-summary.txt is not $work/cli-summary.txt"
fi

# Under Wine's Japanese UI font some captions do not fit their buttons:
# Command48's, the longest, among them. The focus on each shows it whole.
if probe captions captions Command48; then
  pass "cut captions: $(tail -1 "$work/probe-captions.out" | tr -d '\r')"
else
  fail "cut captions shown whole in the status line on focus" "see $work/probe-captions.out"
fi

# A class selected in List1 is dumped into info beside the program.
mkdir -p "$work/info-cli"
"$linux_cli" --from "$capture" dump --info "$work/info-cli" Win32_BIOS > /dev/null 2>&1 < /dev/null
if probe select select Win32_BIOS && [[ -s $program_dir/info/Win32_BIOS.txt ]] &&
  cmp -s "$program_dir/info/Win32_BIOS.txt" "$work/info-cli/Win32_BIOS.txt"; then
  pass "a class selected in List1: info\\Win32_BIOS.txt beside pcinfo.exe in ウィンドウ\\山田, as pcinfo-cli writes it"
else
  fail "dump into the info folder beside the program" "see $program_dir/info"
fi

# Esc during AutoSave stops the walk after the class at hand.
if probe autosave-esc autosave-esc Win32_BIOS; then
  pass "Esc stops AutoSave after the class at hand ($(cat "$work/probe-autosave-esc.out"))"
else
  fail "Esc during AutoSave" "$(cat "$work/probe-autosave-esc.out")"
fi

# Closing during AutoSave: the program ends, and every dump file it wrote is whole.
rm -rf "$program_dir/info"
if probe close-autosave close-during Command62 CIM_Action; then
  torn=0
  for f in "$program_dir"/info/*; do
    [[ -e $f ]] || continue
    cls=$(basename "$f" .txt)
    if [[ $f != *.txt ]]; then
      torn=$((torn + 1))
      continue
    fi
    "$linux_cli" --from "$capture" dump --info "$work/info-cli" "$cls" > /dev/null 2>&1 < /dev/null
    cmp -s "$f" "$work/info-cli/$cls.txt" || torn=$((torn + 1))
  done
  if [[ $torn -eq 0 ]]; then
    pass "closing during AutoSave: the program ends ($(tr '\n' ' ' < "$work/probe-close-autosave.out")), no file torn"
  else
    fail "closing during AutoSave" "$torn files differ from pcinfo-cli's or are left half-made, see $program_dir/info"
  fi
else
  fail "closing during AutoSave" "$(cat "$work/probe-close-autosave.out")"
fi
settle

# Closing during 全自動収集.
start allget --from "$capture"
if probe close-allget close-during cmdAllGet; then
  pass "closing during 全自動収集: the program ends ($(tr '\n' ' ' < "$work/probe-close-allget.out"))"
else
  fail "closing during 全自動収集" "$(cat "$work/probe-close-allget.out")"
fi
settle

# At 144 dots per inch (Windows' 150 %) every control scales with the window.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f > "$work/dpi.log" 2>&1
wineserver -w
start dpi --from "$capture"
if probe layout-144 layout "$golden" && grep -q "at 144 dpi" "$work/probe-layout-144.out"; then
  pass "at 144 dpi: $(head -1 "$work/probe-layout-144.out" | tr -d '\r')"
else
  fail "the window at 144 dpi" "see $work/probe-layout-144.out"
fi
if probe captions-144 captions Command48; then
  pass "cut captions at 144 dpi: $(tail -1 "$work/probe-captions-144.out" | tr -d '\r')"
else
  fail "cut captions at 144 dpi" "see $work/probe-captions-144.out"
fi
# Told while running that its DPI changed (a move to a monitor of another
# scale), it lays out every control at the new one, and back.
probe dpi-96 dpi 96
probe layout-to-96 layout "$golden" 96
probe dpi-144 dpi 144
if grep -q "at 96 dpi, 0 differ" "$work/probe-layout-to-96.out" && probe layout-back-144 layout "$golden" 144; then
  pass "a DPI change while running, 144 to 96 and back: $(head -1 "$work/probe-layout-to-96.out" | tr -d '\r'); $(head -1 "$work/probe-layout-back-144.out" | tr -d '\r')"
else
  fail "a DPI change while running" "see $work/probe-layout-to-96.out and $work/probe-layout-back-144.out"
fi
probe dpi-close close
settle
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >> "$work/dpi.log" 2>&1
wineserver -w

# --- the portable zip ------------------------------------------------------------

if [[ -n $zip ]]; then
  rm -rf "$work/zip"
  mkdir -p "$work/zip"
  if unzip -q "$zip" -d "$work/zip"; then
    unpacked=$(find "$work/zip" -name pcinfo.exe -printf '%h\n' | head -1)
    missing=
    for f in pcinfo.exe pcinfo-cli.exe README.txt LICENSES.txt; do [[ -f $unpacked/$f ]] || missing+=" $f"; done
    wine "$unpacked/pcinfo-cli.exe" --from "$capture" run Command40 > "$work/zip-cli.txt" 2> /dev/null < /dev/null
    cli_ok=$?
    wine "$unpacked/pcinfo.exe" --from "$capture" > "$work/zip-window.log" 2>&1 < /dev/null &
    probe zip-title title
    probe zip-close close
    settle
    if [[ -z $missing && $cli_ok -eq 0 ]] && cmp -s "$work/zip-cli.txt" "$work/cli-Command40.txt" &&
      grep -q "デスクトップ.json" "$work/probe-zip-title.out" && [[ -d $unpacked/info ]]; then
      pass "the zip unpacked: pcinfo-cli.exe runs, pcinfo.exe opens the capture and makes its info folder"
    else
      fail "the unpacked zip" "missing:${missing:- none}, cli status $cli_ok, title $(cat "$work/probe-zip-title.out")"
    fi
  else
    fail "unzip $zip"
  fi
fi
