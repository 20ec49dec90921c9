#!/usr/bin/env bash
# Builds the Debian package of a build tree into <out dir>, apart from the tree's own cpack
# output, for the package tests.
# Usage: build_package.sh <build dir> <out dir>
set -uo pipefail
BUILD=${1:?build dir}
OUT=${2:?out dir}
command -v dpkg-deb >/dev/null || { echo "SKIP: dpkg-deb missing"; exit 77; }
rm -rf "$OUT"
mkdir -p "$OUT"
if ! cpack --config "$BUILD/CPackConfig.cmake" -B "$OUT" >"$OUT/cpack.log" 2>&1; then
  echo "FAIL: cpack"
  cat "$OUT/cpack.log"
  exit 1
fi
rm -rf "$OUT/_CPack_Packages"
deb=$(ls "$OUT"/*.deb 2>/dev/null)
[ "$(echo "$deb" | wc -w)" -eq 1 ] || { echo "FAIL: not one package in $OUT: $deb"; exit 1; }
echo "PASS: $deb"
