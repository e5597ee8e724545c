#!/usr/bin/env bash
# screenshot.sh [OUT.png]: builds the process viewer, runs it on a virtual X
# display (Xvfb) and saves a PNG of the screen with its window (default
# /tmp/procview.png, outside the repository).
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-/tmp/procview.png}"

# Xvfb comes with the base packages; xwd and the PNM tools are extra.
scripts/install-deps.sh x11-apps netpbm
scripts/build.sh build-shot -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
app_pid=""
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done

DISPLAY="$display" QT_QPA_PLATFORM=xcb build-shot/app/procview &
app_pid=$!
sleep "${SCREENSHOT_DELAY:-3}"
xwd -root -silent -display "$display" | xwdtopnm 2>/dev/null | pnmtopng > "$out"
echo "$out"
