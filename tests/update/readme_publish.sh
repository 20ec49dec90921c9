#!/usr/bin/env bash
# The README's publishing sequence, run line by line as it stands in a scratch directory. The
# cmake lines (configure and build a release with its package) are the only ones not run:
# build-release is this build tree instead, and its package is this build's, as release 1.0.1.
# Passwords and passphrases that minisign and gpg ask for come from standard input; gpg works in
# a home of its own.
# Usage: readme_publish.sh <source dir> <bin dir> <package dir>
set -uo pipefail
SRC=${1:?source dir}
BIN=${2:?bin dir}
PKG=${3:?package dir}
source "$(dirname "$0")/../common/session_lib.sh"
for tool in minisign gcab gpg gpgv apt-ftparchive dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
work=$(mktemp -d /tmp/zw-readme.XXXXXX)
export GNUPGHOME="$work/gnupg"
trap 'gpgconf --kill gpg-agent 2>/dev/null; rm -rf "$work"' EXIT
mkdir -m 700 "$GNUPGHOME"
printf '%s\n' batch "pinentry-mode loopback" "passphrase-fd 0" >"$GNUPGHOME/gpg.conf"
mkdir -p "$work/build-release"
ln -s "$BIN" "$work/build-release/bin"
deb=$(ls "$PKG"/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no package in $PKG"
repack_package "$deb" "$work/build-release/zettelwerk_1.0.1_$(dpkg-deb -f "$deb" Architecture).deb" 1.0.1

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

# The package source: signed by the key the sequence made, the package in its index and pool.
apt=site/apt
rel=$apt/dists/stable
gpgv --keyring "$apt/zettelwerk-archive-keyring.gpg" "$rel/InRelease" 2>&1 || { echo "FAIL: InRelease does not verify"; exit 1; }
gpgv --keyring "$apt/zettelwerk-archive-keyring.gpg" "$rel/Release.gpg" "$rel/Release" 2>&1 ||
  { echo "FAIL: Release.gpg does not verify"; exit 1; }
packages=$(find "$rel" -path '*/binary-*/Packages')
grep -q '^Package: zettelwerk$' $packages && grep -q '^Version: 1.0.1$' $packages ||
  { echo "FAIL: the index: $(cat $packages)"; exit 1; }
filename=$(sed -n 's/^Filename: //p' $packages)
[ -s "$apt/$filename" ] || { echo "FAIL: no $apt/$filename"; exit 1; }
grep -q "^Suite: stable$" "$rel/Release" && grep -q "^Components: main$" "$rel/Release" ||
  { echo "FAIL: Release: $(cat "$rel/Release")"; exit 1; }
[ -s site/screenshots/zettelwerk-notizenliste.png ] || { echo "FAIL: no AppStream screenshot"; exit 1; }
echo "PASS: the README's publishing sequence"
