#!/usr/bin/env bash
# Installs what is missing, builds and starts the process viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
if [ ! -x build/app/procview ]; then
  echo "The process viewer is not built yet." >&2
  exit 1
fi
exec build/app/procview "$@"
