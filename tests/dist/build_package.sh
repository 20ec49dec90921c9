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
# The version is a Debian version and the one the changelog begins with.
version=$(dpkg-deb -f "$deb" Version)
changelog=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/zettelwerk/changelog.gz | gzip -dc |
  sed -n '1s/^zettelwerk (\([^)]*\)).*/\1/p')
[[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]] || { echo "FAIL: package version '$version'"; exit 1; }
[ "$version" = "$changelog" ] || { echo "FAIL: package version $version, changelog $changelog"; exit 1; }
echo "PASS: $deb (version $version)"
