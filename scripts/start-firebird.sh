#!/usr/bin/env bash
# Starts the Firebird server on 127.0.0.1:3050 for the tests that need a real
# server, after setting the SYSDBA password through the embedded engine while
# the server is stopped. Does nothing when the server already answers.
set -euo pipefail
# shellcheck source=lib/as-root.sh
source "$(dirname "$0")/lib/as-root.sh"

if (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; then
  exit 0
fi
security=/var/lib/firebird/3.0/system/security3.fdb
echo "create or alter user SYSDBA password 'masterkey' using plugin Srp; commit;" |
  as_root isql-fb -q -user SYSDBA "$security" >/dev/null
as_root /usr/sbin/fbguard -daemon -forever
for _ in $(seq 1 50); do
  if (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; then exit 0; fi
  sleep 0.2
done
echo "Firebird server did not start on 127.0.0.1:3050" >&2
exit 1
