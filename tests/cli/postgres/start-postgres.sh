#!/usr/bin/env bash
# Starts a private PostgreSQL server for the inventory tests: its own folder
# (given, or made under the temporary folder), a cluster made there by initdb,
# no TCP at all (listen_addresses=''), its Unix socket in that folder, trust
# for the local user, and a database "pcinfo". Durability is off (fsync,
# synchronous_commit): the tests do not survive a crash of the machine. As
# root the server runs as the postgres user, which initdb requires.
# Prints the server's pid and socket folder as shell assignments
# (PCINFO_PG_PID=..., PCINFO_TEST_PGHOST=...). Stop it with: kill "$PCINFO_PG_PID"
set -euo pipefail
dir=${1:-$(mktemp -d "${TMPDIR:-/tmp}/pcinfo-pg.XXXXXX")}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/initdb" ] || { echo "PostgreSQL's initdb not found (Debian: apt-get install postgresql)" >&2; exit 1; }
mkdir -p "$dir"
as=()
if [ "$(id -u)" -eq 0 ]; then
  chown postgres: "$dir"
  as=(runuser -u postgres --)
fi
"${as[@]}" "$bin/initdb" -D "$dir/data" -U pcinfo -A trust -E UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log" >&2; exit 1; }
"${as[@]}" "$bin/postgres" -D "$dir/data" -k "$dir" -c listen_addresses='' -c fsync=off \
  -c synchronous_commit=off -c full_page_writes=off -c max_connections=120 </dev/null >"$dir/server.log" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  [ -S "$dir/.s.PGSQL.5432" ] && "$bin/pg_isready" -q -h "$dir" -U pcinfo && break
  kill -0 "$pid" 2>/dev/null || { cat "$dir/server.log" >&2; exit 1; }
  sleep 0.1
done
"$bin/pg_isready" -q -h "$dir" -U pcinfo || { kill "$pid"; echo "PostgreSQL did not open its socket" >&2; exit 1; }
"$bin/createdb" -h "$dir" -U pcinfo pcinfo
echo "PCINFO_PG_PID=$pid"
echo "PCINFO_TEST_PGHOST=$dir"
