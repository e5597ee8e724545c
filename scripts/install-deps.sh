#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need
# (only those that are missing). Run as root or with sudo available.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libqt6sql6-ibase
  firebird3.0-server libfbclient2 firebird-dev firebird3.0-utils
  libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO -E apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
