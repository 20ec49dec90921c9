#!/usr/bin/env bash
# A note edited in the list window and saved (by its button, and by moving to another row)
# survives a kill -9 of the real program: what the window shows as saved is in the file.
# Usage: saved_edit_killed.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
source "$(dirname "$0")/../common/session_lib.sh"
e2e_require gfix
e2e_init "${2:?artefact dir}" 150

prog=$work/prog
copy_program "$BIN" "$prog"
seed_database "$prog/notizen.gdb" "'Alpha', 'Text A'" "'Beta', 'Text B'"

begin "X server, tray host, program"
e2e_display
e2e_program "$prog" program.log
e2e_tray_icon

begin "notes list"
tray_menu_pick 1
wait_window '^Notizenliste$' 20
L=$WIN
sleep 0.8
shot list

begin "edit the title, save with the button"
click_in "$L" 117 21 # BtnEdit
sleep 0.3
click_in "$L" 448 70 # DBEditTitel
xdotool key ctrl+a
type_text "Alpha neu"
click_in "$L" 90 21 # BtnSave
sleep 0.5
shot saved_with_button

begin "edit the text of the next note, save by moving back"
click_in "$L" 90 98 # grid row 2
sleep 0.5
click_in "$L" 117 21 # BtnEdit
sleep 0.3
click_in "$L" 448 190 # DBMemo
xdotool key ctrl+a
type_text "Text B neu"
click_in "$L" 90 76 # grid row 1: saves the change
sleep 0.5
shot saved_by_moving

begin "kill -9 a while after the saves"
sleep 2
kill -KILL "$PROGRAM"
wait "$PROGRAM" 2>/dev/null
PPIDS=()

begin "database after the kill"
expect_clean_database "$prog/notizen.gdb"
expect_titles "Alpha neu|Beta" "the saved title" "$prog/notizen.gdb"
expect_text "$prog/notizen.gdb" "titel = 'Beta'" "Text B neu"

echo "PASS: saved edits survive a kill (screenshots in $ART)"
exit 0
