# shellcheck shell=bash disable=SC2016
# Sourced by the script tests: a scratch folder, stand-ins for the system
# commands the scripts call, and the checks.
#
# Stand-ins (on PATH before the system's):
#   id -u        prints $STANDIN_UID
#   dpkg-query   -W -f='${Package} ${Status}\n' NAME...: reports the
#                packages named in $STANDIN_INSTALLED as installed, those in
#                $STANDIN_CONFIG_ONLY as removed with their configuration
#                left, any other as unknown; appends each queried name to
#                $WORK/queried
#   apt-get      appends "apt-get[DEBIAN_FRONTEND=...] ARGS" to $WORK/log and
#                exits with $STANDIN_APT_STATUS (default 0)
#   sudo         appends "sudo ARGS" to $WORK/log and runs ARGS with a reset
#                environment, as sudo does
set -euo pipefail

export SOURCE_DIR="$1"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/bin"
export WORK PATH="$WORK/bin:$PATH"
unset DEBIAN_FRONTEND

script() {  # script PATH BODY: writes an executable shell script
  mkdir -p "$(dirname "$1")"
  printf '#!/bin/sh\n%s\n' "$2" > "$1"
  chmod +x "$1"
}
standin() { script "$WORK/bin/$1" "$2"; }  # standin NAME BODY
standin id '[ "$1" = -u ] && echo "$STANDIN_UID"'
standin dpkg-query 'shift 2  # -W -f=FORMAT
status=0
for p; do
  echo "$p" >> "$WORK/queried"
  case " ${STANDIN_INSTALLED:-} " in *" $p "*) echo "$p install ok installed"; continue;; esac
  case " ${STANDIN_CONFIG_ONLY:-} " in *" $p "*) echo "$p deinstall ok config-files"; continue;; esac
  echo "dpkg-query: no packages found matching $p" >&2; status=1
done
exit $status'
standin apt-get 'echo "apt-get[DEBIAN_FRONTEND=${DEBIAN_FRONTEND:-}] $*" >> "$WORK/log"; exit "${STANDIN_APT_STATUS:-0}"'
standin sudo 'echo "sudo $*" >> "$WORK/log"; exec env -i PATH="$PATH" WORK="$WORK" STANDIN_APT_STATUS="${STANDIN_APT_STATUS:-0}" "$@"'

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
  if [ "$2" != "$3" ]; then
    fail "$1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") >&2 || true
  fi
}
reset_log() { rm -f "$WORK/log" "$WORK/queried"; touch "$WORK/log" "$WORK/queried"; }
log() { cat "$WORK/log"; }
finish() {
  if ((failures)); then echo "$failures check(s) failed" >&2; exit 1; fi
  echo "all checks passed"
}
