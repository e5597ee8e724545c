#!/usr/bin/env bash
# screenshot.sh [--msgbox | --grid] [OUT.png]: builds the programs, runs one
# on a virtual X display (Xvfb) and saves a PNG of the screen with its window.
#   (default)  the process viewer (default OUT /tmp/procview.png)
#   --msgbox   the message window: a Cyrillic error text naming "line 3,
#              char 7", the SQL text it points into and three buttons
#              (default OUT /tmp/msgbox.png)
#   --grid     the data grid over a table of an embedded Firebird database
#              (the render program's window; default OUT /tmp/grid.png)
# Files go outside the repository unless OUT says otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=procview
if [ "${1:-}" = --msgbox ]; then mode=msgbox; shift; fi
if [ "${1:-}" = --grid ]; then mode=grid; shift; fi
out="${1:-/tmp/$mode.png}"

# Xvfb comes with the base packages; xwd and the PNM tools are extra.
scripts/install-deps.sh x11-apps netpbm
if [ "$mode" = grid ]; then
  # The render program lives with the tests.
  cmake -S . -B build-shot -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
  ninja -C build-shot render_grid >/dev/null
else
  scripts/build.sh build-shot -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
fi

if [ "$mode" = msgbox ]; then
  program=(build-shot/tools/msgbox
    'Ошибка выполнения запроса.\nDynamic SQL Error\nSQL error code = -104\nToken unknown - line 3, char 7\nЗПТ'
    'SELECT ID, NAME\nFROM CLIENTS\nWHERE ЗПТ > 0\nORDER BY NAME'
    '1;3;Да;Нет|IM_CANCEL;Отмена' 3)
elif [ "$mode" = grid ]; then
  program=(build-shot/tests/grid/datagrid/render/render_grid --show)
else
  program=(build-shot/app/procview)
fi

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
  [ -e "${X11_SOCKET_DIR:-/tmp/.X11-unix}/X${display#:}" ] && break
  sleep 0.1
done

DISPLAY="$display" QT_QPA_PLATFORM=xcb "${program[@]}" >/dev/null &
app_pid=$!
sleep "${SCREENSHOT_DELAY:-3}"
xwd -root -silent -display "$display" | xwdtopnm 2>/dev/null | pnmtopng > "$out"
echo "$out"
