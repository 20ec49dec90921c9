#!/usr/bin/env bash
# Nothing typed is lost, nothing deleted is gone, with the real program under a virtual X server:
# text typed in "Notiz erfassen" and an edit in the list come back after a kill -9 five seconds
# after the last keystroke, and after "Beenden"; a note deleted by isql-fb while the program
# runs comes back from the trash with its text and stamp. The database is read with isql-fb.
# Usage: drafts_trash.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
source "$(dirname "$0")/../common/session_lib.sh"
e2e_require xclip
e2e_init "${2:?artefact dir}" 240

copy_program "$BIN" "$work/prog"
DB="$work/prog/notizen.gdb"
seed_database "$DB" "'Alpha', 'Text A'" "'Oma', 'Gertrud wird 90'"
stamp_oma=$(sql_value "$DB" "select zeitstempel from tblnotizen where titel = 'Oma'")

start_program() {
  e2e_program "$work/prog" "$1"
  e2e_tray_icon
}
kill_program() {
  kill -KILL "$PROGRAM"
  wait "$PROGRAM" 2>/dev/null
  PPIDS=()
}
new_note_window() {
  open_new_note
  N=$WIN
  sleep 0.3
  timeout 5 xdotool windowfocus --sync "$N" 2>/dev/null
}
list_window() {
  tray_menu_pick 1
  wait_window '^Notizenliste$' 20
  L=$WIN
  sleep 0.8
}

begin "X server, tray host, program"
e2e_display
start_program program1.log

begin "a new note typed, kill -9 five seconds after the last key"
new_note_window
type_text "Entwurf eins"
xdotool key Tab
type_text "getippt, nicht gesichert"
sleep 5
shot typed_before_kill
kill_program

begin "the next program shows the typed note again, Ctrl+S saves it"
start_program program2.log
new_note_window
shot draft_back
[ "$(field_text "$N" 300 74)" = "Entwurf eins" ] || fail "the typed title did not come back"
keys "$N" ctrl+s
wait_gone '^Notiz erfassen$' 20
expect_text "$DB" "titel = 'Entwurf eins'" "getippt, nicht gesichert"

begin "an edit in the list, kill -9 five seconds after the last key"
list_window
click_in "$L" 90 76 # the first row: Alpha (by title)
keys "$L" F5
sleep 0.5
click_in "$L" 117 21 # BtnEdit
click_in "$L" 448 190 # DBMemo
xdotool key ctrl+a
type_text "Text A geändert"
sleep 5
shot edit_before_kill
kill_program

begin "the next program shows the edit on its note, Ctrl+S saves it"
start_program program3.log
list_window
shot edit_back
[ "$(field_text "$L" 448 190)" = "Text A geändert" ] || fail "the edit did not come back"
keys "$L" ctrl+s
sleep 0.5
expect_text "$DB" "titel = 'Alpha'" "Text A geändert"

begin "isql-fb deletes a note while the program runs; the trash brings it back"
printf "delete from tblnotizen where titel = 'Oma';\ncommit;\n" >"$work/delete.sql"
sql "$work/delete.sql" "$DB"
[ "$(sql_value "$DB" "select count(*) from tblnotizen where titel = 'Oma'")" = 0 ] || fail "isql-fb did not delete"
click_in "$L" 212 21 # BtnPapierkorb
wait_window '^Papierkorb$' 20
shot trash
keys "$WIN" Return # "Wiederherstellen", on the latest deletion
wait_gone '^Papierkorb$' 20
shot restored
expect_text "$DB" "titel = 'Oma'" "Gertrud wird 90"
[ "$(sql_value "$DB" "select zeitstempel from tblnotizen where titel = 'Oma'")" = "$stamp_oma" ] ||
  fail "the restored note lost its stamp"

begin "Beenden with a typed note; the next start shows it again"
new_note_window
type_text "Beim Beenden"
sleep 0.3
quit_program "$PROGRAM"
start_program program4.log
new_note_window
[ "$(field_text "$N" 300 74)" = "Beim Beenden" ] || fail "the note typed before Beenden did not come back"
shot back_after_quit

echo "PASS: typed text and deleted notes come back (screenshots in $ART)"
exit 0
