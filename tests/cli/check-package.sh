#!/usr/bin/env bash
# The .deb as a user gets it: built by CPack from a configured build tree,
# unpacked into a temporary folder, and the unpacked pcinfo-cli run from there.
# Usage: tests/cli/check-package.sh [BUILD_DIR]   (default build/default)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/default}
fail() { echo "check-package: $*" >&2; exit 1; }

cmake --build "$build" --target package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$(ls "$build"/pcinfo_"$version"_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no pcinfo_${version}_*.deb in $build"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"

# What the package lays out.
for f in usr/bin/pcinfo-cli usr/share/man/man1/pcinfo-cli.1.gz usr/share/man/man1/pcinfo.1.gz \
         usr/share/bash-completion/completions/pcinfo-cli; do
  [ -e "$tmp/root/$f" ] || fail "$f is not in the package"
done
if [ -e "$tmp/root/usr/bin/pcinfo" ]; then
  for f in usr/share/applications/pcinfo.desktop usr/share/icons/hicolor/scalable/apps/pcinfo.svg usr/share/mime/packages/pcinfo.xml; do
    [ -e "$tmp/root/$f" ] || fail "$f is not in the package"
  done
fi
bash -n "$tmp/root/usr/share/bash-completion/completions/pcinfo-cli" || fail "the bash completion does not parse"
grep -q -E '^Exec=pcinfo( %[fFuU])?$' "$tmp/root/usr/share/applications/pcinfo.desktop" 2>/dev/null || [ ! -e "$tmp/root/usr/bin/pcinfo" ] ||
  fail "the desktop entry does not start pcinfo"
# Library dependencies computed from the programs (shlibdeps).
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libsqlite3; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
# libcups and libpq are loaded while the program runs, so they are recommended rather than depended on.
for lib in libcups2 libpq5; do
  [[ $(dpkg-deb -f "$deb" Recommends) == *"$lib"* ]] || fail "Recommends lacks $lib"
  [[ $depends != *"$lib"* ]] || fail "Depends names $lib, which is loaded while the program runs: $depends"
done

# The unpacked programs run.
cli="$tmp/root/usr/bin/pcinfo-cli"
[ "$("$cli" --version)" = "pcinfo-cli $version" ] || fail "--version: $("$cli" --version)"
"$cli" all > "$tmp/all.txt" || fail "all exited with $?"
headers=$(grep -c -- '-\{90\}'$'\r''$' "$tmp/all.txt" || true)
[ "$headers" -eq 60 ] || fail "all printed $headers headers, not 60"
echo "check-package: $(basename "$deb") is good (Depends: $depends)"
