#!/usr/bin/env bash
# install-deps.sh [PACKAGE...]: installs the Debian packages the build, the
# program and the tests need, plus the given ones (only those that are
# missing). Run as root or with sudo available.
set -euo pipefail
# shellcheck source=lib/as-root.sh
source "$(dirname "$0")/lib/as-root.sh"

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libqt6sql6-ibase
  firebird3.0-server libfbclient2 firebird-dev firebird3.0-utils
  libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev ccache
  xvfb xauth fonts-dejavu-core
  "$@"
)

# One query for all: a line "NAME STATUS" per known package (unknown ones
# only make dpkg-query complain and fail).
installed=" $(dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null |
  awk '$2 == "install" && $3 == "ok" && $4 == "installed" { printf "%s ", $1 }' || true)"
missing=()
for p in "${PACKAGES[@]}"; do
  case "$installed" in *" $p "*) ;; *) missing+=("$p") ;; esac
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
