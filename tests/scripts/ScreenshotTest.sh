#!/usr/bin/env bash
# screenshot.sh runs the process viewer, or with --msgbox the message window
# with its sample texts, on a virtual display and writes the PNG. A copy runs
# with stand-ins for the install and build steps, the programs, Xvfb and the
# image tools that only record their calls; directly and through sudo.
# Usage: ScreenshotTest.sh SOURCE_DIR
# shellcheck source=standins.sh disable=SC2016
source "$(dirname "$0")/standins.sh"

tree="$WORK/tree"
mkdir -p "$tree/scripts" "$WORK/x11"
cp "$SOURCE_DIR/scripts/screenshot.sh" "$tree/scripts/"
script "$tree/scripts/install-deps.sh" 'echo "install-deps.sh $*" >> "$WORK/log"'
script "$tree/scripts/build.sh" 'echo "build.sh $1" >> "$WORK/log"'
for p in app/procview tools/msgbox; do
  script "$tree/build-shot/$p" "printf '%s|' \"$(basename $p)\" \"\$@\" >> \"\$WORK/log\"; echo >> \"\$WORK/log\"; exec sleep 30"
done
# The display counts as up once its socket exists: Xvfb logs before that.
standin Xvfb 'echo "Xvfb $2 $3 $4" >> "$WORK/log"; touch "$X11_SOCKET_DIR/X${1#:}"; exec sleep 30'
# The grab shows the program's window: it waits (10 s at most) until the
# program has started, as the script's delay does on a real display.
standin xwd 'for _ in $(seq 100); do grep -q "^[a-z]*|" "$WORK/log" && break; sleep 0.1; done
echo "xwd $1 $2" >> "$WORK/log"; echo XWD'
standin xwdtopnm 'sed s/XWD/PNM/'
standin pnmtopng 'sed s/PNM/PNG/'

# shot ARGS...: runs screenshot.sh with ARGS (through sudo when $SUDO is set).
shot() {
  reset_log
  ${SUDO:+sudo} env X11_SOCKET_DIR="$WORK/x11" SCREENSHOT_DELAY=0 "$tree/scripts/screenshot.sh" "$@" \
    >"$WORK/out" 2>"$WORK/err"
}

msg='Ошибка выполнения запроса.\nDynamic SQL Error\nSQL error code = -104\nToken unknown - line 3, char 7\nЗПТ'
sql='SELECT ID, NAME\nFROM CLIENTS\nWHERE ЗПТ > 0\nORDER BY NAME'
for SUDO in "" 1; do
  what="${SUDO:+sudo }--msgbox"
  shot --msgbox "$WORK/m.png" || fail "$what: exit status $?"
  expect_eq "$what: output" "$WORK/m.png" "$(cat "$WORK/out")"
  expect_eq "$what: image" PNG "$(cat "$WORK/m.png" 2>/dev/null)"
  # The script orders its own steps; the program runs beside them, once the
  # display is up.
  expect_eq "$what: commands" "$(printf '%s\n' "install-deps.sh x11-apps netpbm" "build.sh build-shot" \
    "Xvfb -screen 0 1280x800x24" "xwd -root -silent")" "$(grep -v -e '^sudo ' -e '^msgbox|' "$WORK/log")"
  expect_eq "$what: program" "msgbox|$msg|$sql|1;3;Да;Нет|IM_CANCEL;Отмена|3|" "$(grep '^msgbox|' "$WORK/log")"
  expect_eq "$what: program after the display" 1 \
    "$(grep -v '^sudo ' "$WORK/log" | sed -n '/^Xvfb /,$p' | grep -c '^msgbox|')"
  if [ -n "$SUDO" ]; then grep -q '^sudo env' "$WORK/log" || fail "$what: not run through sudo"; fi

  what="${SUDO:+sudo }process viewer"
  shot "$WORK/p.png" || fail "$what: exit status $?"
  expect_eq "$what: image" PNG "$(cat "$WORK/p.png" 2>/dev/null)"
  grep -qx 'procview|' "$WORK/log" || fail "$what: the process viewer did not run"
  if grep -q '^msgbox' "$WORK/log"; then fail "$what: the message window ran"; fi
done

finish
