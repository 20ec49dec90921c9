#!/usr/bin/env bash
# The keyboard shortcuts of the note windows, typed with xdotool into the real program under a
# virtual X server: Ctrl+F and a search, F5, Ctrl+N, Ctrl+S in the new-note window, Escape with
# the close question (Escape there answers No, Return Yes), Ctrl+S of an edit in the list,
# Escape on the list. The database is checked with isql-fb.
# Usage: shortcuts.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
source "$(dirname "$0")/../common/session_lib.sh"
e2e_require
e2e_init "${2:?artefact dir}" 200

copy_program "$BIN" "$work/prog"
DB="$work/prog/notizen.gdb"
seed_database "$DB" "'Termin', 'Zahnarzt am Dienstag'" "'Einkauf', 'Milch und Brot'"

begin "X server and tray host"
e2e_display
e2e_program "$work/prog" program.log
e2e_tray_icon

begin "list window"
tray_menu_pick 1
wait_window '^Notizenliste$' 20
L=$WIN
sleep 0.5

begin "Ctrl+F puts the focus into the search field"
click_in "$L" 448 70 # the focus elsewhere first: the title field
keys "$L" ctrl+f
type_text "zahnarzt"
xdotool key Return
sleep 0.8
shot searched_with_ctrl_f
[ "$(field_text "$L" 448 70)" = "Termin" ] || fail "the search did not find 'Termin'"
[ "$(field_text "$L" 78 342)" = "zahnarzt" ] || fail "the search term did not go into the search field"

begin "F5 lists all notes by title"
keys "$L" F5
sleep 0.8
shot listed_with_f5
[ "$(field_text "$L" 448 70)" = "Einkauf" ] || fail "F5 did not list all notes by title"
[ -z "$(field_text "$L" 78 342)" ] || fail "F5 did not empty the search field"

begin "Ctrl+N opens a new note, Ctrl+S saves it"
keys "$L" ctrl+n
wait_window '^Notiz erfassen$' 20
A=$WIN
sleep 0.3
# The typing goes where the focus is: on a busy machine the new window may not have it yet.
timeout 5 xdotool windowfocus --sync "$A" 2>/dev/null
type_text "Per Tastatur"
xdotool key Tab
type_text "gesichert mit Strg+S"
shot typed_new_note
keys "$A" ctrl+s
wait_gone '^Notiz erfassen$' 20
[ "$(sql_value "$DB" "select count(*) from tblnotizen where titel = 'Per Tastatur' and bemerkung = 'gesichert mit Strg+S'")" = 1 ] ||
  fail "Ctrl+S did not store the note; titles: $(db_titles "$DB")"

begin "Escape asks before it drops a typed note"
keys "$L" ctrl+n
wait_window '^Notiz erfassen$' 20
A=$WIN
sleep 0.3
timeout 5 xdotool windowfocus --sync "$A" 2>/dev/null
type_text "Verworfen"
keys "$A" Escape
wait_window '^Confirm$' 20
Q=$WIN
sleep 0.3
shot close_question
keys "$Q" Escape # "&No": the window stays
wait_gone '^Confirm$' 20
[ -n "$(visible_window '^Notiz erfassen$')" ] || fail "No closed the window"
keys "$A" Escape
answer_default '^Confirm$' 20 close_question_again # "&Yes"
wait_gone '^Notiz erfassen$' 20
[ "$(sql_value "$DB" "select count(*) from tblnotizen where titel = 'Verworfen'")" = 0 ] ||
  fail "the dropped note was stored"

begin "Ctrl+S saves an edit in the list"
keys "$L" F5
sleep 0.8
click_in "$L" 117 21 # BtnEdit
sleep 0.3
click_in "$L" 448 70 # DBEditTitel
xdotool key ctrl+a
type_text "Einkauf am Samstag"
keys "$L" ctrl+s
sleep 0.8
shot edit_saved_with_ctrl_s
[ "$(sql_value "$DB" "select count(*) from tblnotizen where titel = 'Einkauf am Samstag'")" = 1 ] ||
  fail "Ctrl+S did not save the edit"

begin "Escape closes the list"
keys "$L" Escape
wait_gone '^Notizenliste$' 20

begin "quit"
quit_program "$PROGRAM"
expect_titles "Termin|Einkauf am Samstag|Per Tastatur" "after the shortcuts" "$DB"
echo "PASS: keyboard shortcuts (screenshots in $ART)"
exit 0
