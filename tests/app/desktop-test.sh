#!/usr/bin/env bash
# The desktop entry and the MIME type of captures, as a desktop installs them:
# the entry is valid and opens a file; the type, in a MIME database built from
# it, takes the file name `pcinfo-cli snapshot --help` tells to give a capture.
# Usage: desktop-test.sh DIST-FOLDER PCINFO-CLI
set -euo pipefail
dist=$1 cli=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$dist/pcinfo.desktop" || fail "desktop-file-validate"
fi
grep -Eq '^Exec=pcinfo .*%[fFuU]' "$dist/pcinfo.desktop" || fail "the entry takes no file"
type=$(sed -n 's/^MimeType=\([^;]*\);$/\1/p' "$dist/pcinfo.desktop")
[ -n "$type" ] || fail "the entry declares no MIME type"

mkdir -p "$tmp/mime/packages"
cp "$dist/pcinfo-capture.xml" "$tmp/mime/packages/pcinfo.xml"
update-mime-database "$tmp/mime" 2>/dev/null || fail "update-mime-database"
name=$("$cli" snapshot --help | grep -o '[A-Z]*\.pcinfo\.json' | head -n 1)
[ -n "$name" ] || fail "snapshot --help suggests no capture name"
glob="*${name#NAME}"
grep -qxF "50:$type:$glob" "$tmp/mime/globs2" || fail "no glob $glob for $type in: $(cat "$tmp/mime/globs2")"
grep -qxF "$type application/json" "$tmp/mime/subclasses" || fail "$type is not JSON"
echo "ok: $type for $glob"
