#!/usr/bin/env bash
# Debian's own checker on the built package: no error and no warning (informational lines
# are printed, not counted).
# Usage: lintian_test.sh <directory holding the one .deb>
set -uo pipefail
OUT=${1:?package dir}
command -v lintian >/dev/null || { echo "SKIP: lintian is not installed"; exit 77; }
deb=$(ls "$OUT"/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: no package in $OUT"; exit 1; }
report=$(lintian --display-info "$deb" 2>&1)
rc=$?
grep -v '^running with root privileges' <<<"$report"
[ "$rc" -le 1 ] || { echo "FAIL: lintian ended with $rc"; exit 1; }
grep -qE '^[EW]: ' <<<"$report" && { echo "FAIL: lintian reports errors or warnings"; exit 1; }
echo "PASS: lintian $(lintian --version | awk '{print $2}') on $(basename "$deb")"
