#!/usr/bin/env bash
# Regenerates the rpm databases of this folder with Debian's own tools
# (packages rpm, db5.3-util; python3 for the sqlite trim and the ndb file):
#   1. rpmbuild builds two packages: "hello" (epoch, vendor, URL, summary) and
#      "manyfiles" (60 files, so its header needs many overflow pages);
#   2. rpm installs them (--justdb) into a fresh database: rpmdb.sqlite;
#   3. their header blobs, keyed by instance number as rpm keeps them, go
#      through db5.3_load into Berkeley DB hash files, as rpm before 4.16 kept
#      Packages: little-endian with 512-byte pages (every header on a chain of
#      overflow pages), big-endian with 8 KB pages (the small header on its
#      hash page, the big one off-page);
#   4. the same blobs are laid out as rpm's ndb Packages.db (Debian's rpm has
#      no ndb backend to write one);
#   5. rpm itself lists each Berkeley DB file through its read-only backend.
# Usage: tests/data/rpm/make.sh   (rewrites the files beside it)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/top/SPECS"
cat > "$work/top/SPECS/hello.spec" <<'SPEC'
Name: hello
Epoch: 2
Version: 2.12.1
Release: 4.fc40
Summary: Prints a familiar, friendly greeting
License: GPL-3.0-or-later
Vendor: Fedora Project
URL: https://www.gnu.org/software/hello/
BuildArch: noarch
%description
A program that prints a greeting.
%files
SPEC
cat > "$work/top/SPECS/manyfiles.spec" <<'SPEC'
Name: manyfiles
Version: 1.0
Release: 1
Summary: A package of many small files
License: MIT
BuildArch: noarch
%description
Sixty empty files, so that the header is long.
%install
mkdir -p %{buildroot}/usr/share/manyfiles
for i in $(seq 1 60); do touch %{buildroot}/usr/share/manyfiles/file-number-$i.txt; done
%files
/usr/share/manyfiles
SPEC
for spec in hello manyfiles; do
  rpmbuild --quiet --define "_topdir $work/top" -bb "$work/top/SPECS/$spec.spec"
done
mkdir "$work/db"
rpm --dbpath "$work/db" --initdb
rpm --dbpath "$work/db" -i --justdb --nodeps --nosignature "$work"/top/RPMS/noarch/*.rpm

python3 - "$work" "$here" <<'PY'
import os, shutil, sqlite3, struct, subprocess, sys, zlib
work, here = sys.argv[1:]
db = sqlite3.connect(os.path.join(work, "db", "rpmdb.sqlite"))
rows = db.execute("SELECT hnum, blob FROM Packages ORDER BY hnum").fetchall()
db.close()

# rpmdb.sqlite with rpm's Packages table alone (its index tables dropped), in small pages.
out = os.path.join(here, "rpmdb.sqlite")
shutil.copy(os.path.join(work, "db", "rpmdb.sqlite"), out)
db = sqlite3.connect(out)
db.execute("PRAGMA journal_mode=DELETE")
for (name,) in db.execute("SELECT name FROM sqlite_master WHERE type='table' AND name NOT IN ('Packages', 'sqlite_sequence')").fetchall():
    db.execute(f'DROP TABLE "{name}"')
db.execute("PRAGMA page_size=512")
db.commit()
db.execute("VACUUM")
db.close()

# Berkeley DB: key 0 holds the last instance number, as rpm kept it; each other key an instance.
for name, order, lorder, pagesize in [("Packages", "<", 1234, 512), ("Packages.be", ">", 4321, 8192)]:
    dump = ["VERSION=3", "format=bytevalue", "type=hash", f"db_lorder={lorder}", f"db_pagesize={pagesize}", "HEADER=END"]
    dump += [" " + struct.pack(order + "I", 0).hex(), " " + struct.pack(order + "I", rows[-1][0]).hex()]
    for hnum, blob in rows:
        dump += [" " + struct.pack(order + "I", hnum).hex(), " " + bytes(blob).hex()]
    dump.append("DATA=END")
    path = os.path.join(here, name)
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(["db5.3_load", "-t", "hash", path], input=("\n".join(dump) + "\n").encode(), check=True)

# ndb: a 32-byte header and 16-byte slots on the first 4 KB page, then each blob
# in 16-byte blocks: head (magic, instance, time, length), the blob, padding,
# tail (Adler-32 of all before it, length, magic). Little-endian throughout.
le = lambda *v: struct.pack("<" + "I" * len(v), *v)
slots, blobs, blk = b"", b"", 4096 // 16
for hnum, blob in rows:
    blob = bytes(blob)
    head = b"BlbS" + le(hnum, 1700000000, len(blob))
    cnt = (16 + len(blob) + 12 + 15) // 16
    body = head + blob + bytes(cnt * 16 - 16 - len(blob) - 12)
    blobs += body + le(zlib.adler32(body), len(blob)) + b"BlbE"
    slots += b"Slot" + le(hnum, blk, cnt)
    blk += cnt
page = b"RpmP" + le(0, 1, 1, rows[-1][0] + 1) + bytes(12) + slots
page += b"Slot" + bytes(12)
page += (b"Slot" + bytes(12)) * ((4096 - len(page)) // 16)
with open(os.path.join(here, "Packages.db"), "wb") as f:
    f.write(page + blobs)
PY

# rpm itself reads each Berkeley DB file.
for f in Packages Packages.be; do
  mkdir -p "$work/check-$f"
  cp "$here/$f" "$work/check-$f/Packages"
  listed=$(rpm --dbpath "$work/check-$f" --define '_db_backend bdb_ro' -qa --qf '%{NAME}\n' 2>/dev/null | sort | tr '\n' ' ')
  [ "$listed" = "hello manyfiles " ] || { echo "rpm lists [$listed] from $f" >&2; exit 1; }
done
ls -l "$here"
