#!/usr/bin/env bash
# Installs every Debian package Zettelwerk needs and builds the program into build/: the
# executable with the updater inside, the help file and the delivered database (the target
# zettelwerk depends on them). The tests and benchmarks are left to scripts/test.sh, so the
# first start does not wait for them.
# Safe to run again: installed packages are skipped, the build is incremental.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils firebird3.0-server
  libmspack-dev libcurl4-openssl-dev curl fp-utils
  googletest libgtest-dev libbenchmark-dev
  xvfb xdotool xclip gcab trayer imagemagick x11-utils python3
  dbus-daemon python3-gi gir1.2-glib-2.0 xpad desktop-file-utils
  clang libclang-rt-14-dev valgrind
  libsodium-dev minisign lintian fonts-liberation2 libchm-bin libssl-dev
  sway grim wtype xwayland qt6-wayland appstream reprepro apt-utils gnupg
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  # The tests start their own Firebird server as a child process; the package must not start
  # (or leave running) a system service, so service starts are refused while it installs.
  policy=/usr/sbin/policy-rc.d
  own_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
    $SUDO chmod 755 "$policy"
    own_policy=1
  fi
  rc=0
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}" || rc=$?
  if [ -n "$own_policy" ]; then $SUDO rm -f "$policy"; fi
  [ "$rc" -eq 0 ] || exit "$rc"
fi

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" -j"$(nproc)" --target zettelwerk
echo "Built: $BUILD_DIR/bin/zettelwerk"
