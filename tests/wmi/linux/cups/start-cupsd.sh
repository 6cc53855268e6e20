#!/usr/bin/env bash
# Starts a private CUPS daemon for the printer test: its own folder (given,
# or made under the temporary folder), a local socket there, one queue that
# prints to a file and one job held in it. Prints the daemon's pid and socket
# as shell assignments (PCINFO_CUPSD_PID=..., PCINFO_TEST_CUPS_SERVER=...).
# Stop it with: kill "$PCINFO_CUPSD_PID"
set -euo pipefail
dir=${1:-$(mktemp -d "${TMPDIR:-/tmp}/pcinfo-cups.XXXXXX")}
cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
[ -x "$cupsd" ] || { echo "cupsd not found" >&2; exit 1; }
mkdir -p "$dir"/{etc/ppd,spool/tmp,cache,state/certs,log}
chmod 755 "$dir"
sock="$dir/cups.sock"
user=$(id -un)
group=$(id -gn)
system_group=$group
if [ "$(id -u)" -eq 0 ]; then
  # cupsd runs its filters and backends as an unprivileged user.
  if id lp >/dev/null 2>&1; then user=lp group=lp; else user=nobody group=nogroup; fi
  system_group=root
fi
cat > "$dir/etc/cupsd.conf" <<CONF
Listen $sock
LogLevel warn
Browsing No
DefaultAuthType None
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat > "$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
FileDevice Yes
User $user
Group $group
SystemGroup $system_group
Sandboxing Relaxed
CONF
"$cupsd" -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" </dev/null >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  [ -S "$sock" ] && break
  kill -0 "$pid" 2>/dev/null || { cat "$dir/log/error_log" >&2 2>/dev/null; exit 1; }
  sleep 0.1
done
[ -S "$sock" ] || { kill "$pid"; echo "cupsd did not open its socket" >&2; exit 1; }
export CUPS_SERVER="$sock"
lpadmin -p pcinfo-test -E -v "file://$dir/printed.out" -D "Test queue" -L "Lab 2F" -m raw 2>/dev/null ||
  lpadmin -p pcinfo-test -E -v "file://$dir/printed.out" -D "Test queue" -L "Lab 2F"
lpadmin -p pcinfo-test -o printer-is-shared=false
lpadmin -d pcinfo-test
echo "held job" > "$dir/job.txt"
lp -d pcinfo-test -H hold -t "pcinfo held job" "$dir/job.txt" >/dev/null
echo "PCINFO_CUPSD_PID=$pid"
echo "PCINFO_TEST_CUPS_SERVER=$sock"
