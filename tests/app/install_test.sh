#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout, and starts the installed
# program twice: the first start copies the database into the user's data directory, the
# second keeps it (a marker note written in between survives).
# Usage: install_test.sh <build dir>
set -uo pipefail
BUILD=${1:?build dir}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix="$work/prefix"
cmake --install "$BUILD" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  fail "cmake --install: $(cat "$work/install.log")"

# --- layout
[ -x "$prefix/bin/zettelwerk" ] || fail "bin/zettelwerk missing"
for f in share/zettelwerk/notizen.gdb share/zettelwerk/zettelwerk.chm share/applications/zettelwerk.desktop; do
  [ -s "$prefix/$f" ] || fail "$f missing"
done
[ ! -e "$prefix/bin/notizen.gdb" ] || fail "database installed beside the program"
desktop="$prefix/share/applications/zettelwerk.desktop"
for line in '[Desktop Entry]' 'Type=Application' 'Name=Zettelwerk' 'Exec=zettelwerk' 'Icon=zettelwerk' 'Categories=Utility;'; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done
grep -q '^Comment=.' "$desktop" || fail "desktop entry lacks a comment"
# The application menu and desktop-wide shortcuts reach the running program through two actions.
for line in 'Actions=notiz-anlegen;notiz-suchen;' '[Desktop Action notiz-anlegen]' 'Exec=zettelwerk --neue-notiz' \
  '[Desktop Action notiz-suchen]' 'Exec=zettelwerk --suchen'; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" >"$work/validate.log" 2>&1 || fail "desktop entry: $(cat "$work/validate.log")"
fi
for size in 16 32 48 64 128; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/zettelwerk.png"
  [ -s "$png" ] || fail "icon $size missing"
  # PNG signature, then the IHDR width and height as 32-bit big-endian numbers.
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "icon $size is no PNG"
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$dims" = "$size $size" ] || fail "icon $size has size $dims"
done

ver=$("$prefix/bin/zettelwerk" --version) || fail "--version failed"
[ "$ver" = "Zettelwerk 1.0 (Dateiversion 1.0.0.0)" ] || fail "--version printed: $ver"
# Read whole: grep -q would leave a long text's later writes to a closed pipe.
help=$("$prefix/bin/zettelwerk" --help) || fail "--help failed"
for option in --version --neue-notiz --suchen --export --import ZETTELWERK_DATABASE; do
  grep -q -- "$option" <<<"$help" || fail "--help lacks $option"
done

# --- first and second start
shared_sum=$(md5sum <"$prefix/share/zettelwerk/notizen.gdb")
run() {
  env ZW_QUIT_WHEN_IDLE=1 ZW_AUTO_ANSWER=default QT_QPA_PLATFORM=offscreen \
    XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
    timeout 60 "$prefix/bin/zettelwerk" >"$work/run.log" 2>&1
}
db="$work/data/zettelwerk/notizen.gdb"

run || fail "first start ended with $?: $(cat "$work/run.log")"
[ -s "$db" ] || fail "first start did not create $db: $(cat "$work/run.log")"
grep -q '^event loop running' "$work/run.log" || fail "first start did not get ready: $(cat "$work/run.log")"
! grep -q '^dialog:' "$work/run.log" || fail "first start showed a message: $(cat "$work/run.log")"
leftovers=$(ls -A "$work/data/zettelwerk" | grep -v -x -e notizen.gdb -e HelpDebug.txt)
[ -z "$leftovers" ] || fail "left in the data directory: $leftovers"
inode=$(stat -c %i "$db")

marker=""
if command -v isql-fb >/dev/null; then
  marker="Installationstest $$"
  printf "INSERT INTO TBLNOTIZEN (ID, TITEL) VALUES (-1, '%s');\nCOMMIT;\n" "$marker" |
    isql-fb -q -user sysdba "$db" >"$work/isql.log" 2>&1 || fail "marker note: $(cat "$work/isql.log")"
fi

run || fail "second start ended with $?: $(cat "$work/run.log")"
grep -q '^event loop running' "$work/run.log" || fail "second start did not get ready: $(cat "$work/run.log")"
[ "$(stat -c %i "$db")" = "$inode" ] || fail "second start replaced the database"
if [ -n "$marker" ]; then
  echo "SELECT TITEL FROM TBLNOTIZEN WHERE ID = -1;" |
    isql-fb -q -user sysdba "$db" >"$work/isql.log" 2>&1
  grep -qF "$marker" "$work/isql.log" || fail "marker note lost: $(cat "$work/isql.log")"
fi
[ "$(md5sum <"$prefix/share/zettelwerk/notizen.gdb")" = "$shared_sum" ] || fail "shared database changed"
[ ! -e "$prefix/bin/notizen.gdb" ] || fail "database created beside the program"
echo "PASS"
