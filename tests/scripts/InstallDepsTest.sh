#!/usr/bin/env bash
# install-deps.sh (and screenshot.sh's use of it) against stand-in package
# tools: what would be installed, in which order, as root and through sudo.
# Usage: InstallDepsTest.sh SOURCE_DIR
# shellcheck source=standins.sh disable=SC2016
source "$(dirname "$0")/standins.sh"
install_deps="$SOURCE_DIR/scripts/install-deps.sh"

# What a run of install-deps.sh logs when it installs PACKAGES... as root.
root_lines() {
  echo "apt-get[DEBIAN_FRONTEND=noninteractive] update -qq"
  echo "apt-get[DEBIAN_FRONTEND=noninteractive] install -y -qq --no-install-recommends $*"
}
# ... and as another user, through sudo.
sudo_lines() {
  echo "sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq"
  echo "apt-get[DEBIAN_FRONTEND=noninteractive] update -qq"
  echo "sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $*"
  echo "apt-get[DEBIAN_FRONTEND=noninteractive] install -y -qq --no-install-recommends $*"
}
queried() { tr '\n' ' ' < "$WORK/queried" | sed 's/ $//'; }

# As root, nothing installed: every package, apt-get run directly.
reset_log
STANDIN_UID=0 "$install_deps" >/dev/null || fail "root: exit status $?"
all=$(queried)
for p in g++ cmake ninja-build qt6-base-dev libfbclient2 firebird3.0-server firebird3.0-utils libgtest-dev xvfb xauth; do
  case " $all " in *" $p "*) ;; *) fail "package $p is not installed" ;; esac
done
expect_eq "root: commands" "$(root_lines "$all")" "$(log)"

# As a user: only what is missing (a removed package with its configuration
# left counts as missing), through sudo.
reset_log
STANDIN_UID=1000 STANDIN_INSTALLED="g++ cmake qt6-base-dev" STANDIN_CONFIG_ONLY="xvfb" \
  "$install_deps" >/dev/null || fail "user: exit status $?"
missing=$(for p in $all; do case "$p" in g++|cmake|qt6-base-dev) ;; *) printf '%s ' "$p" ;; esac; done | sed 's/ $//')
case " $missing " in *" xvfb "*) ;; *) fail "xvfb left with its configuration only is not reinstalled" ;; esac
expect_eq "user: commands" "$(sudo_lines "$missing")" "$(log)"

# Everything installed: nothing runs, as root or as a user.
for uid in 0 1000; do
  reset_log
  STANDIN_UID=$uid STANDIN_INSTALLED="$all" "$install_deps" >/dev/null || fail "uid $uid, all installed: exit status $?"
  expect_eq "uid $uid, all installed: commands" "" "$(log)"
done

# Extra packages on the command line join the list.
reset_log
STANDIN_UID=0 STANDIN_INSTALLED="$all" "$install_deps" x11-apps netpbm >/dev/null || fail "extras: exit status $?"
expect_eq "extras: commands" "$(root_lines x11-apps netpbm)" "$(log)"

# A failing apt-get fails the script and stops it there.
reset_log
if STANDIN_UID=0 STANDIN_APT_STATUS=100 "$install_deps" >/dev/null; then fail "apt-get failure: exit status 0"; fi
expect_eq "apt-get failure: commands" "apt-get[DEBIAN_FRONTEND=noninteractive] update -qq" "$(log)"

# screenshot.sh installs its extra tools the same way before it builds: a
# copy of the scripts with a build step that only records its call.
tree="$WORK/tree"
mkdir -p "$tree/scripts/lib"
cp "$SOURCE_DIR/scripts/screenshot.sh" "$SOURCE_DIR/scripts/install-deps.sh" "$tree/scripts/"
cp "$SOURCE_DIR/scripts/lib/"*.sh "$tree/scripts/lib/"
script "$tree/scripts/build.sh" 'echo "build.sh $1" >> "$WORK/log"; exit 3'
reset_log
STANDIN_UID=1000 STANDIN_INSTALLED="$all" "$tree/scripts/screenshot.sh" >/dev/null 2>&1 && fail "screenshot.sh went on after a failed build"
expect_eq "screenshot.sh: commands" "$(sudo_lines x11-apps netpbm; echo "build.sh build-shot")" "$(log)"

finish
