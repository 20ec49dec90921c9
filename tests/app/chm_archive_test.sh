#!/usr/bin/env bash
# The built help file read with libchm, a reader independent of the program's own viewer:
# every context number of the help project (1001 to 1006) names a topic that libchm finds
# inside the archive, the one the project maps it to, and no path of the build or source
# tree occurs anywhere in the file, compressed or not.
# Usage: chm_archive_test.sh <zettelwerk.chm> <help project .hhp> <directory> [<directory> ...]
set -uo pipefail
CHM=${1:?chm file}
HHP=${2:?help project}
shift 2

for tool in extract_chmLib test_chmLib python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (libchm-bin, python3)"; exit 77; }
done
[ -s "$CHM" ] || { echo "FAIL: $CHM missing"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

extract_chmLib "$CHM" "$work/x" >"$work/extract.log" 2>&1 || fail "extract_chmLib: $(cat "$work/extract.log")"
[ -s "$work/x/#IVB" ] && [ -s "$work/x/#STRINGS" ] || fail "no context map (#IVB, #STRINGS) in $CHM"

# Context number and topic name from #IVB (a byte count, then pairs of number and offset into
# #STRINGS, little-endian); the project's own map from [MAP] and [ALIAS].
python3 - "$work/x" "$HHP" >"$work/map.txt" <<'EOF' || fail "context map unreadable"
import re, struct, sys
x, hhp = sys.argv[1], sys.argv[2]
ivb = open(x + "/#IVB", "rb").read()
strings = open(x + "/#STRINGS", "rb").read()
size = struct.unpack_from("<I", ivb, 0)[0]
compiled = {}
for at in range(4, 4 + min(size, len(ivb) - 4) - 7, 8):
    number, offset = struct.unpack_from("<II", ivb, at)
    end = strings.index(b"\0", offset)
    compiled[number] = strings[offset:end].decode("utf-8")
section, alias, numbers = None, {}, {}
for line in open(hhp, encoding="latin-1"):
    line = line.strip()
    if line.startswith("["):
        section = line.strip("[]").upper()
    elif section == "ALIAS" and "=" in line:
        key, value = line.split("=", 1)
        alias[key.strip()] = value.strip()
    elif section == "MAP":
        m = re.match(r"#define\s+(\S+)\s+(\d+)", line)
        if m:
            numbers[int(m.group(2))] = alias[m.group(1)]
for number in sorted(numbers):
    print(number, "/" + numbers[number], compiled.get(number, "-"))
EOF
[ "$(wc -l <"$work/map.txt")" -eq 6 ] || fail "the project maps not six contexts: $(cat "$work/map.txt")"
while read -r number expected topic; do
  [ "$topic" = "$expected" ] || fail "context $number names '$topic', the project maps it to '$expected'"
  test_chmLib "$CHM" "$topic" "$work/topic.htm" >"$work/resolve.log" 2>&1 ||
    fail "libchm finds no topic '$topic' for context $number: $(cat "$work/resolve.log")"
  grep -qi '<html' "$work/topic.htm" || fail "topic '$topic' of context $number is no HTML page"
  echo "context $number -> $topic"
done <"$work/map.txt"

for dir in "$@"; do
  for form in "$dir" "$(readlink -f "$dir")"; do
    [ -n "$form" ] && [ "$form" != / ] || continue
    if grep -qaF -- "$form" "$CHM"; then fail "$CHM contains '$form'"; fi
    hits=$(grep -rlaF -- "$form" "$work/x")
    [ -z "$hits" ] || fail "'$form' occurs in ${hits//$work\/x/}"
  done
done
echo "PASS: context map of $(basename "$CHM")"
