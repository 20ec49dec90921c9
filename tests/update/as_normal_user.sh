#!/usr/bin/env bash
# Runs cases of test_update that need a normal account (permissions do not bind root) as one:
# as root, under a system user made for it, with a home of its own; otherwise as we are.
# Usage: as_normal_user.sh <test_update> <gtest filter>
set -u
TEST=${1:?test binary}
FILTER=${2:?gtest filter}
if [ "$(id -u)" -ne 0 ]; then
  exec "$TEST" --gtest_filter="$FILTER"
fi
user=zwother
id "$user" >/dev/null 2>&1 ||
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user" >/dev/null 2>&1 ||
  { echo "SKIP: cannot create the normal account $user"; exit 77; }
home=$(mktemp -d /tmp/zw-user.XXXXXX)
trap 'rm -rf "$home"' EXIT
# The delivered database is the build's (root's, not for others): the account gets a copy.
bin=${ZW_BIN_DIR:-$(dirname "$TEST")/../bin}
mkdir -p "$home/bin" "$home/lock"
cp "$bin/notizen.gdb" "$home/bin/" || { echo "SKIP: no delivered database in $bin"; exit 77; }
chown -R "$user:" "$home"
cd "$home" || exit 1
setpriv --reuid="$user" --regid="$user" --clear-groups \
  env HOME="$home" TMPDIR="$home" XDG_RUNTIME_DIR="$home" XDG_CONFIG_HOME="$home/.config" ZW_BIN_DIR="$home/bin" \
  FIREBIRD_LOCK="$home/lock" FIREBIRD_TMP="$home/lock" \
  QT_QPA_PLATFORM=offscreen "$TEST" --gtest_filter="$FILTER"
# (CTest also looks for the passed case: a filter that matches none would pass silently.)
