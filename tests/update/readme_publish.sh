#!/usr/bin/env bash
# The README's publishing sequence, run line by line as it stands in a scratch directory. The two
# cmake lines (configure and build a release) are the only ones not run: build-release is this
# build tree instead. Passwords that minisign asks for come from standard input.
# Usage: readme_publish.sh <source dir> <bin dir>
set -uo pipefail
SRC=${1:?source dir}
BIN=${2:?bin dir}
for tool in minisign gcab; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
work=$(mktemp -d /tmp/zw-readme.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build-release"
ln -s "$BIN" "$work/build-release/bin"

# The block after the marker, continuation lines joined.
awk '/publishing sequence: tests\/update\/readme_publish.sh/ {on = 1; next}
     on && /^```sh/ {inblock = 1; next}
     inblock && /^```/ {exit}
     inblock {print}' "$SRC/README.md" | sed -e ':a' -e '/\\$/N; s/\\\n//; ta' >"$work/lines.sh"
[ -s "$work/lines.sh" ] || { echo "FAIL: no publishing sequence in README.md"; exit 1; }

cd "$work" || exit 1
n=0
while IFS= read -r line; do
  n=$((n + 1))
  case "$line" in
    cmake\ *) echo "skipped: $line"; continue ;;
  esac
  echo "+ $line"
  printf 'readme-password\nreadme-password\n' | bash -c "$line" || { echo "FAIL: line $n: $line"; exit 1; }
done <"$work/lines.sh"

inf=site/update/zettelwerk/zettelwerk.inf
for f in "$inf" "$inf.minisig" site/update/zettelwerk/zettelwerk-1.0.1.cab zettelwerk-update.pub; do
  [ -s "$f" ] || { echo "FAIL: the sequence left no $f"; exit 1; }
done
out=$(minisign -V -p zettelwerk-update.pub -m "$inf") || { echo "FAIL: the signature does not verify"; exit 1; }
grep -q "Trusted comment: version:1.0.1 file:zettelwerk.inf" <<<"$out" || { echo "FAIL: $out"; exit 1; }
grep -q '^url=https://updates.example.org/update/zettelwerk/zettelwerk-1.0.1.cab$' "$inf" ||
  { echo "FAIL: control file: $(cat "$inf")"; exit 1; }
echo "PASS: the README's publishing sequence"
