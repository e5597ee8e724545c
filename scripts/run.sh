#!/usr/bin/env bash
# Installs what is missing, builds and starts the process viewer. It needs a
# display (X or Wayland); on a machine without one, run it on a virtual X
# display: xvfb-run -a scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# Qt's xcb and wayland platforms need a display; the others (offscreen,
# minimal, vnc, ...) draw elsewhere.
case "${QT_QPA_PLATFORM:-}" in
  "" | xcb* | wayland*)
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset); start it from a desktop session or on a virtual X display: xvfb-run -a scripts/run.sh" >&2
      exit 1
    fi
    ;;
esac

scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
if [ ! -x build/app/procview ]; then
  echo "The process viewer is not built yet." >&2
  exit 1
fi
exec build/app/procview "$@"
