#!/usr/bin/env bash
# The Win32 window's batches under Wine, on a virtual display: AutoSave over
# the whole class list from its first entry and 全自動収集, both with auto-clear
# off, on the capture SNAPSHOT; each timed by pcinfo_probe.exe from the click
# to the end of its handler (the window's own work, not Wine's start-up).
# Compare with the Qt window's figures on the same capture (bench_window).
#   bench/wine_window.sh SNAPSHOT [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
snapshot=$(realpath "$1")
runs=${2:-1}
for tool in xvfb-run wine x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" > /dev/null || { echo "wine_window.sh: $tool is missing (scripts/install-deps test)" >&2; exit 2; }
done
[ -f build/mingw/build.ninja ] || cmake --preset mingw > /dev/null
cmake --build --preset mingw --target pcinfo pcinfo_probe > /dev/null
work=$PWD/build/wine-bench
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Booted without a display; the prefix's programs end before the window's
# start them again on the virtual one.
[ -d "$WINEPREFIX" ] || wineboot -i > "$work/wineboot.log" 2>&1 < /dev/null
wineserver -k > /dev/null 2>&1 || true
cat > "$work/measure.sh" << 'INNER'
#!/usr/bin/env bash
# One window per batch, so that each starts from an empty pane.
for control in Command62 cmdAllGet; do
  wine build/mingw/bin/pcinfo.exe --from "$1" > "$2/window.log" 2>&1 < /dev/null &
  wine build/mingw/bin/pcinfo_probe.exe time "$control" > "$2/$control.out" 2>&1 < /dev/null
  tr -d '\r' < "$2/$control.out"
  wine build/mingw/bin/pcinfo_probe.exe close > /dev/null 2>&1 < /dev/null
  wait
done
INNER
chmod +x "$work/measure.sh"
for _ in $(seq 1 "$runs"); do
  xvfb-run -a -s "-screen 0 1600x1000x24" "$work/measure.sh" "$snapshot" "$work" > "$work/run.out" 2>&1 < /dev/null
  sed 's/^Command62/AutoSave, 1211 classes:/; s/^cmdAllGet/全自動収集, 60 buttons:/' "$work/run.out"
done
wineserver -k > /dev/null 2>&1 || true
