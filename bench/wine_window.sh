#!/usr/bin/env bash
# The Win32 window's batches under Wine, on a virtual display: AutoSave over
# the whole class list from its first entry and 全自動収集, both with auto-clear
# off, on the capture SNAPSHOT; each timed by pcinfo_probe.exe from the click
# to the end of its handler (the window's own work, not Wine's start-up).
# Beside them, the same batches with no window under Wine
# (pcinfo_batch_timer.exe: the queries and the dump files through Wine's file
# system), and, given QT_BENCH (pcinfo_bench_window), the Qt window's on the
# same capture; below, what the text they leave in the pane costs Wine's
# RichEdit put in at once (the probe, in a RichEdit of its own). Then the window's start-up under Wine beside a bare Win32
# window with one Japanese label (pcinfo_bare_window.exe). Medians of RUNS
# runs.
#   bench/wine_window.sh SNAPSHOT [RUNS] [QT_BENCH]
set -euo pipefail
cd "$(dirname "$0")/.."
snapshot=$(realpath "$1")
runs=${2:-1}
qt_bench=${3:-}
for tool in xvfb-run wine x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" > /dev/null || { echo "wine_window.sh: $tool is missing (scripts/install-deps test)" >&2; exit 2; }
done
[ -f build/mingw/build.ninja ] || cmake --preset mingw > /dev/null
cmake --build --preset mingw --target pcinfo pcinfo_probe pcinfo_batch_timer pcinfo_bare_window > /dev/null
work=$PWD/build/wine-bench
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Booted without a display; the prefix's programs end before the window's
# start them again on the virtual one.
[ -d "$WINEPREFIX" ] || wineboot -i > "$work/wineboot.log" 2>&1 < /dev/null
wineserver -k > /dev/null 2>&1 || true
cat > "$work/measure.sh" << 'INNER'
#!/usr/bin/env bash
# One window per batch, so that each starts from an empty pane; then the
# batches with no window. Prints "CONTROL SECONDS" lines.
for control in Command62 cmdAllGet; do
  wine build/mingw/bin/pcinfo.exe --from "$1" > "$2/window.log" 2>&1 < /dev/null &
  wine build/mingw/bin/pcinfo_probe.exe time "$control" > "$2/$control.out" 2>&1 < /dev/null
  tr -d '\r' < "$2/$control.out" | awk '{print "window", $1, $2}'
  wine build/mingw/bin/pcinfo_probe.exe close > /dev/null 2>&1 < /dev/null
  wait
done
# Start-up: from the process made to its window shown and answering, the
# bare window's and the form's on the capture.
for exe in pcinfo_bare_window pcinfo; do
  args=()
  [ "$exe" = pcinfo ] && args=(--from "$1")
  wine build/mingw/bin/pcinfo_probe.exe startup "build/mingw/bin/$exe.exe" "${args[@]}" > "$2/startup.out" 2>&1 < /dev/null
  tr -d '\r' < "$2/startup.out" | awk -v e="$exe" '$1 == "shown" {print "startup", e, $2}'
done
rm -rf "$2/timer-info"
wine build/mingw/bin/pcinfo_batch_timer.exe "$1" "$2/timer-info" > "$2/timer.out" 2>&1 < /dev/null
tr -d '\r' < "$2/timer.out" | awk '{print "timer", $1, $2}'
INNER
chmod +x "$work/measure.sh"
: > "$work/figures"
for _ in $(seq 1 "$runs"); do
  xvfb-run -a -s "-screen 0 1600x1000x24" "$work/measure.sh" "$snapshot" "$work" > "$work/run.out" 2>&1 < /dev/null
  grep -E '^(window|timer|startup) ' "$work/run.out" >> "$work/figures" || true
  if [ -n "$qt_bench" ]; then
    for c in autosave:Command62 allget:cmdAllGet; do
      s=$(QT_QPA_PLATFORM=offscreen "$qt_bench" --case "${c%%:*}" "$snapshot" 2> /dev/null |
        sed -n 's/^seconds=\([0-9.]*\).*/\1/p')
      [ -z "$s" ] || echo "qt ${c#*:} $s" >> "$work/figures"
    done
  fi
done
wineserver -k > /dev/null 2>&1 || true
# The median of each figure; "-" where it did not run.
median() {
  awk -v k="$1 $2" '$1 " " $2 == k {print $3}' "$work/figures" | sort -g |
    awk '{v[NR] = $1} END {if (NR) printf "%.2f s", v[int((NR + 1) / 2)]; else printf "-"}'
}
# The least and greatest of a figure.
range() {
  awk -v k="$1 $2" '$1 " " $2 == k {print $3}' "$work/figures" | sort -g |
    awk 'NR == 1 {lo = $1} {hi = $1} END {if (NR) printf "%.2f-%.2f s", lo, hi; else printf "-"}'
}
# How many times the bare window's start-up the window's takes (medians).
startup_ratio() {
  local a b
  a=$(median startup pcinfo | cut -d' ' -f1)
  b=$(median startup pcinfo_bare_window | cut -d' ' -f1)
  awk -v a="$a" -v b="$b" 'BEGIN {if (a != "-" && b != "-" && b > 0) printf "%.1f times the bare window", a / b; else printf "-"}'
}
# TEXT padded to WIDTH columns of the terminal (a Japanese character takes two).
pad() { printf '%s%*s' "$1" $(($2 - $(printf '%s' "$1" | wc -L))) ""; }
printf '%-28s %-22s %-22s %s\n' "" "Win32 window, Wine" "no window, Wine" "Qt window"
for c in "Command62:AutoSave, 1211 classes" "cmdAllGet:全自動収集, 60 buttons"; do
  qt=-
  [ -z "$qt_bench" ] || qt=$(median qt "${c%%:*}")
  printf '%s %-22s %-22s %s\n' "$(pad "${c#*:}" 28)" "$(median window "${c%%:*}")" "$(median timer "${c%%:*}")" "$qt"
done
printf '%-28s %-22s\n' "the pane's text put into" "$(median window insertion-Command62), $(median window insertion-cmdAllGet)"
printf '%-28s %-22s\n' "a RichEdit at once" "(Wine's own part of the two figures above)"
printf '%-28s %-22s %-22s %s\n' "start-up, shown" "$(median startup pcinfo)" "$(median startup pcinfo_bare_window) (a bare window)" \
  "$(startup_ratio)"
printf '%-28s %-22s %-22s\n' "  least-greatest" "$(range startup pcinfo)" "$(range startup pcinfo_bare_window)"
echo "runs: $runs; a batch timed from the click to the end of its handler, start-up from the process made"
echo "to its window shown and answering"
