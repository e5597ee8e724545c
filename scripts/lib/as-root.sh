# shellcheck shell=bash
# Sourced by the scripts that need root for a step.
#
# as_root CMD...: runs CMD directly when the script runs as root, else
# through sudo (which must then be installed). Environment meant for CMD goes
# on its command line (`as_root env VAR=value CMD`): sudo resets it.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "$(basename "$0"): needs root for: $*; run it as root or install sudo" >&2
    return 1
  fi
}
