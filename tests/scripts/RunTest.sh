#!/usr/bin/env bash
# run.sh on a machine without a display says so and how to get one, and
# starts nothing; with a display (or a platform that needs none) it builds
# and starts the program. A copy of run.sh runs with stand-in install, build
# and program steps that only record their calls.
# Usage: RunTest.sh SOURCE_DIR
# shellcheck source=standins.sh disable=SC2016
source "$(dirname "$0")/standins.sh"

tree="$WORK/tree"
mkdir -p "$tree/scripts"
cp "$SOURCE_DIR/scripts/run.sh" "$tree/scripts/"
script "$tree/scripts/install-deps.sh" 'echo install-deps.sh >> "$WORK/log"'
script "$tree/scripts/build.sh" 'echo "build.sh $1" >> "$WORK/log"'
script "$tree/build/app/procview" 'echo "procview $*" >> "$WORK/log"'

# run_sh VAR=VALUE...: runs run.sh with no display but the given variables.
run_sh() {
  reset_log
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$tree/scripts/run.sh" one two \
    >"$WORK/out" 2>"$WORK/err"
}

for platform in "" xcb wayland; do
  what="no display, QT_QPA_PLATFORM='$platform'"
  if run_sh ${platform:+QT_QPA_PLATFORM=$platform}; then fail "$what: exit status 0"; fi
  expect_eq "$what: stderr lines" 1 "$(wc -l < "$WORK/err")"
  grep -q "no display" "$WORK/err" || fail "$what: the message does not say there is no display"
  grep -q "xvfb-run -a scripts/run.sh" "$WORK/err" || fail "$what: the message does not say how to get one"
  expect_eq "$what: commands" "install-deps.sh" "$(log)"
done

started=$(printf '%s\n' install-deps.sh "build.sh build" "procview one two")
for setting in DISPLAY=:7 WAYLAND_DISPLAY=wayland-0 QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORM=minimal; do
  run_sh "$setting" || fail "$setting: exit status $?"
  expect_eq "$setting: stderr" "" "$(cat "$WORK/err")"
  expect_eq "$setting: commands" "$started" "$(log)"
done

finish
