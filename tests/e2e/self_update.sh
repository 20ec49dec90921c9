#!/usr/bin/env bash
# The real program updates itself. Release A (the build) runs from a user-writable directory
# under a virtual X server with a tray host; release B (the same sources, one patch level up) is
# published with zw-publish, signed with the minisign command and served on 127.0.0.1. Driven
# like a user with xdotool (tray menu, Verwaltung, Update, the questions), first five forged
# or unfit updates are refused with nothing changed, then the real one: the program ends, the
# updater replaces it, and the program that comes back reports release B (--version and the
# about window). The notes are unchanged (isql-fb) and WUPDATE.LOG shows the expected sequence.
# Screenshots of every step are kept in the artefact directory.
# Usage: self_update.sh <bin dir> <release B dir> <release B version> <source dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
NEXT=${2:?release B dir}
NEXT_VERSION=${3:?release B version}
SRC=${4:?source dir}
source "$(dirname "$0")/../common/session_lib.sh"
e2e_require minisign gcab python3 sha256sum
for f in "$BIN/zettelwerk" "$BIN/zw-publish" "$NEXT/zettelwerk"; do
  [ -x "$f" ] || { echo "FAIL: $f missing"; exit 1; }
done
e2e_init "${5:?artefact dir}" 360
e2e_on_exit() {
  cp "$work/prog/WUPDATE.LOG" "$ART/WUPDATE.LOG" 2>/dev/null
  if [ "$1" -ne 0 ]; then
    echo "--- WUPDATE.LOG"
    cat "$work/prog/WUPDATE.LOG" 2>/dev/null
  fi
}

DB=$work/prog/notizen.gdb
notes_dump() {
  printf 'set list on;\nselect id, titel, bemerkung, zeitstempel from tblnotizen order by id;\n' >"$work/notes.sql"
  sql "$work/notes.sql" "$DB"
}

# Every file of the program directory but the database and the log, with its checksum; the
# database changes by the update window's date of the last attempt and is compared by its notes.
program_files() {
  (cd "$work/prog" && find . -mindepth 1 ! -name notizen.gdb ! -name WUPDATE.LOG -printf '%y %m %p\n' |
    sort && find . -type f ! -name notizen.gdb ! -name WUPDATE.LOG -exec sha256sum {} + | sort)
}

# ------------------------------------------------------------------ set-up
mkdir -p "$work/release" "$work/old" "$work/srv" "$work/keys" || exit 1
copy_program "$BIN" "$work/prog"
cp "$NEXT/zettelwerk" "$work/release/" && cp "$BIN/zettelwerk.chm" "$work/release/" || fail "release B incomplete"
cp "$BIN/zettelwerk" "$BIN/zettelwerk.chm" "$work/old/"

begin "keys, server and release B"
minisign -G -W -p "$work/keys/update.pub" -s "$work/keys/update.sec" </dev/null >/dev/null ||
  fail "minisign -G failed"
minisign -G -W -p "$work/keys/other.pub" -s "$work/keys/other.sec" </dev/null >/dev/null ||
  fail "minisign -G failed"
# The maker's key ships beside the program.
cp "$work/keys/update.pub" "$work/prog/zettelwerk-update.pub"
cp "$work/keys/update.pub" "$work/release/zettelwerk-update.pub"

coproc SERVER { exec python3 "$SRC/tests/update/http_test_server.py" "$work/srv"; }
TPIDS+=("$SERVER_PID")
read -r -t 20 word port <&"${SERVER[0]}" || fail "test server did not start"
[ "$word" = "PORT" ] || fail "test server said '$word $port'"
base="http://127.0.0.1:$port"
export ZETTELWERK_UPDATE_SERVER="$base"
tree="$work/srv/update/zettelwerk"
echo "server $base"

# publish <release dir> <version> [extra zw-publish options]: the server tree, unsigned.
publish() {
  rm -rf "$work/srv/update"
  "$BIN/zw-publish" --release "$1" --version "$2" --base-url "$base" --out "$work/srv" "${@:3}" \
    >"$work/publish.log" 2>&1 || fail "zw-publish failed: $(cat "$work/publish.log")"
}
sign() { # sign <key name> <version>
  minisign -S -s "$work/keys/$1.sec" -m "$tree/zettelwerk.inf" -t "version:$2 file:zettelwerk.inf" \
    </dev/null >/dev/null || fail "minisign -S failed"
}

begin "X server and tray host"
e2e_display

# ------------------------------------------------------------------ release A
begin "release A starts"
[ "$("$work/prog/zettelwerk" --version)" = "Zettelwerk 1.0 (Dateiversion 1.0.0.0)" ] ||
  [ -n "${ZW_E2E_ANY_START_VERSION:-}" ] || fail "release A says $("$work/prog/zettelwerk" --version)"
start_version=$("$work/prog/zettelwerk" --version)
printf "insert into tblnotizen (id, titel, bemerkung, zeitstempel) values (gen_id(gen_tblnotizen_id, 1), 'Vor dem Update', 'Text' || ascii_char(13) || ascii_char(10) || 'zweite Zeile', current_timestamp);\ncommit;\n" \
  >"$work/insert.sql"
sql "$work/insert.sql" "$DB" >/dev/null
notes_before=$(notes_dump)
grep -q 'Vor dem Update' <<<"$notes_before" || fail "test note not stored: $notes_before"
e2e_program "$work/prog" program.log
e2e_tray_icon
wait_window '^Autostart einrichten\?$' 30
sleep 0.3
click_in "$WIN" 173 159 # "Nein"
wait_gone '^Autostart einrichten\?$' 20

begin "update window from the tray menu: Verwaltung, Update"
tray_menu_pick 2
wait_window '^Verwaltung$' 20
V=$WIN
sleep 0.5
click_in "$V" 94 175 # BtnUpdate
wait_window '^Web-Update \(Zettelwerk\)$' 20
U=$WIN
sleep 0.5
shot update_window
files_before=$(program_files)

# check_refused <name> <message number>: one click on "auf Update prüfen", the "Fehler" box,
# the number in the log, and the program directory as it was.
check_refused() {
  begin "refused: $1"
  local lines_before
  lines_before=$({ wc -l <"$work/prog/WUPDATE.LOG"; } 2>/dev/null || echo 0)
  click_in "$U" 90 24 # BitBtnUpdate
  # A signed control file is read: its download question comes first.
  [ "$2" = 972 ] && answer_default '^Confirm$' 60 "download_question_$1"
  answer_default '^Fehler$' 60 "refused_$1"
  sleep 0.5
  shot "after_$1"
  programs_alive || fail "the program ended"
  tail -n +"$((lines_before + 1))" "$work/prog/WUPDATE.LOG" >"$work/run_lines.log"
  grep -q "^.\{19\} : \[$2\] " "$work/run_lines.log" ||
    fail "no report $2 in the run's log lines: $(cat "$work/run_lines.log")"
  grep -q "^.\{19\} : \[915\] Download : $base/update/zettelwerk/zettelwerk-.*\.cab" "$work/run_lines.log" &&
    [ "$2" != 972 ] && fail "the release was downloaded although the control file was refused"
  [ "$(program_files)" = "$files_before" ] || fail "the program directory changed: $(diff <(echo "$files_before") <(program_files))"
  [ "$("$work/prog/zettelwerk" --version)" = "$start_version" ] || fail "the program changed"
}

publish "$work/release" "$NEXT_VERSION"
sign update "$NEXT_VERSION"
sed -i 's/^silentrestart=0$/silentrestart=1/' "$tree/zettelwerk.inf"
check_refused control_file_altered 927

publish "$work/release" "$NEXT_VERSION"
sign update "$NEXT_VERSION"
python3 - "$tree"/zettelwerk-*.cab <<'EOF'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(-100, 2)
    b = f.read(1)
    f.seek(-100, 2)
    f.write(bytes([b[0] ^ 0xFF]))
EOF
check_refused packed_file_altered 972

publish "$work/release" "$NEXT_VERSION"
sign other "$NEXT_VERSION"
check_refused other_key 968

publish "$work/release" "$NEXT_VERSION"
check_refused signature_missing 966

# An older release's control file, correctly signed, that would install without the version check.
publish "$work/old" 0.9
sed -i 's/^\[update\]$/[update]\nunconditional=yes/' "$tree/zettelwerk.inf"
sign update 0.9
check_refused older_release 969

# ------------------------------------------------------------------ the update
begin "update to release B"
publish "$work/release" "$NEXT_VERSION"
sign update "$NEXT_VERSION"
lines_before=$(wc -l <"$work/prog/WUPDATE.LOG")
click_in "$U" 90 24 # BitBtnUpdate
answer_default '^Confirm$' 60 download_question
answer_default '^Confirm$' 120 restart_question
wait_ended "$PROGRAM" 30 "the restart question" "release A"

begin "release B comes back"
# The updater starts the program again: find its process by the executable it runs.
PROGRAM=""
for _ in $(seq 300); do
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$work/prog/zettelwerk" ] && PROGRAM=${p#/proc/} && break 2
  done
  sleep 0.1
done
[ -n "$PROGRAM" ] || fail "the program was not started again: $(tail -5 "$work/prog/WUPDATE.LOG")"
PPIDS=("$PROGRAM")
ICON=$(poll tray_icon_pos 30) || fail "no tray icon of release B within 30 s"
shot release_b_in_tray
version_now=$("$work/prog/zettelwerk" --version)
echo "--version: $version_now"
[ "$version_now" = "Zettelwerk $NEXT_VERSION (Dateiversion $NEXT_VERSION.0)" ] || fail "--version says '$version_now'"
tray_menu_pick 4
wait_window "^Zettelwerk ${NEXT_VERSION//./\\.}\\.0\$" 20
sleep 0.5
shot about_release_b
tray_menu_pick 6
wait_ended "$PROGRAM" 30 Beenden "release B"

begin "program directory, notes and log"
ls -la "$work/prog"
leftover=$(cd "$work/prog" && ls -A | grep -vxE 'zettelwerk|zettelwerk.chm|notizen.gdb|zettelwerk-update.pub|WUPDATE.LOG')
[ -z "$leftover" ] || fail "left in the program directory: $leftover"
cmp -s "$work/prog/zettelwerk" "$NEXT/zettelwerk" || fail "the program is not release B's"
[ -x "$work/prog/zettelwerk" ] || fail "the program lost its execute permission"
notes_after=$(notes_dump)
[ "$notes_after" = "$notes_before" ] || fail "the notes changed: $notes_after"
tail -n +"$((lines_before + 1))" "$work/prog/WUPDATE.LOG" >"$work/update_lines.log"
got=$(sed -n 's/^.\{19\} : \[\([0-9]*\)\].*/\1/p' "$work/update_lines.log" | paste -sd' ')
want="963 918 921 915 926 915 975 933 929 943 915 962 948 949 959 958"
[ "$got" = "$want" ] || fail "log sequence '$got', expected '$want'"
grep -q " : upd cab extract zettelwerk-$NEXT_VERSION.cab $" "$work/update_lines.log" ||
  fail "the updater did not unpack the release: $(cat "$work/update_lines.log")"
grep -q " : upd restart $work/prog/zettelwerk$" "$work/update_lines.log" ||
  fail "the updater did not restart the program: $(cat "$work/update_lines.log")"
[ "$(grep -c 'upd io error' "$work/update_lines.log")" -eq 0 ] || fail "the updater failed: $(cat "$work/update_lines.log")"
for f in /tmp/upd.ex_ /tmp/upd.exe /tmp/0.ani /tmp/zettelwerk.inf; do
  [ -e "$f" ] && [ "$f" -nt "$work/keys/update.pub" ] && fail "written to the shared temporary directory: $f"
done
echo "PASS: self update from $start_version to $version_now (screenshots in $ART)"
exit 0
