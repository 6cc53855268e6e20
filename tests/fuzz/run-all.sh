#!/usr/bin/env bash
# Runs every built fuzz target (build/fuzz/bin/*_fuzz) for SECONDS each from
# its seeds (tests/fuzz/seeds/<name>/), with its dictionary when there is one
# (tests/fuzz/<name>.dict). New inputs go to a scratch corpus, not the seeds.
# A crash, leak, sanitizer report or timeout fails the run; the input that
# caused it is kept in build/fuzz/findings/ to be turned into a test.
# Usage: tests/fuzz/run-all.sh SECONDS
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:?usage: $0 SECONDS}"
bin=build/fuzz/bin
findings=build/fuzz/findings
mkdir -p "$findings"
shopt -s nullglob
targets=("$bin"/*_fuzz)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $bin (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
  exit 1
fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
passed=0 failed=0
for target in "${targets[@]}"; do
  name=$(basename "$target" _fuzz)
  seeds=tests/fuzz/seeds/$name
  scratch=$(mktemp -d)
  args=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$findings/$name-")
  [ -f "tests/fuzz/$name.dict" ] && args+=(-dict="tests/fuzz/$name.dict")
  [ -d "$seeds" ] || seeds=""
  echo "== $name: ${seconds}s"
  if "$target" "${args[@]}" "$scratch" ${seeds:+"$seeds"} >"$scratch.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$scratch.log" | tail -2
    passed=$((passed + 1))
  else
    tail -60 "$scratch.log"
    echo "== $name: FINDING (input kept in $findings/)"
    failed=$((failed + 1))
  fi
  rm -rf "$scratch" "$scratch.log"
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
