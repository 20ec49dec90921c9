#!/usr/bin/env bash
# Two programs of one user on one database, each on its own display like two sessions: both
# edit the note "Preis"; the first saves; the second's save is refused with a message, its
# own text stays in the field (copied out through the clipboard), "Notizbearbeitung
# abbrechen" shows the stored note, and an edit from there is saved. Nothing is lost.
# Usage: two_programs.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
source "$(dirname "$0")/../common/session_lib.sh"
e2e_require xclip gfix
e2e_init "${2:?artefact dir}" 200

prog=$work/prog
copy_program "$BIN" "$prog"
seed_database "$prog/notizen.gdb" "'Preis', '10 Euro'"

# on <A|B>: the display, icon and list window of one program.
on() {
  case $1 in
    A) DISPLAY=$DISPLAY_A ICON=$ICON_A L=${LIST_A:-} ;;
    B) DISPLAY=$DISPLAY_B ICON=$ICON_B L=${LIST_B:-} ;;
  esac
  export DISPLAY
}

begin "program A"
e2e_display
DISPLAY_A=$DISPLAY
e2e_program "$prog" program_a.log
PID_A=$PROGRAM
e2e_tray_icon
ICON_A=$ICON

begin "program B, the same program directory"
e2e_display
DISPLAY_B=$DISPLAY
e2e_program "$prog" program_b.log
PID_B=$PROGRAM
e2e_tray_icon
ICON_B=$ICON

# Opens the list, edits the current note's text to $2.
edit_text() {
  on "$1"
  tray_menu_pick 1
  wait_window '^Notizenliste$' 20
  case $1 in A) LIST_A=$WIN ;; B) LIST_B=$WIN ;; esac
  on "$1"
  sleep 0.8
  click_in "$L" 117 21 # BtnEdit
  sleep 0.3
  click_in "$L" 448 190 # DBMemo
  xdotool key ctrl+a
  type_text "$2"
  sleep 0.3
  shot "edit_$1"
}

begin "both edit the note"
edit_text A "11 Euro"
edit_text B "12 Euro"

begin "A saves"
on A
click_in "$L" 90 21 # BtnSave
sleep 1
shot saved_A
[ -z "$(visible_window '^Zettelwerk$')" ] || fail "A's save showed a message"

begin "B's save is refused"
on B
click_in "$L" 90 21 # BtnSave
wait_window '^Zettelwerk$' 20
sleep 0.3
shot refused_B
xdotool key Return
wait_gone '^Zettelwerk$' 20
click_in "$L" 448 190 # DBMemo
typed=$(copied_field_text)
echo "B's field after the refusal: $typed"
[ "$typed" = "12 Euro" ] || fail "B's own text is gone from the field: '$typed'"

begin "B cancels and sees the stored note"
click_in "$L" 148 21 # BtnCancel
sleep 0.8
shot cancelled_B
click_in "$L" 448 190
stored=$(copied_field_text)
echo "B's field after cancelling: $stored"
[ "$stored" = "11 Euro" ] || fail "cancelling shows '$stored', not the stored note"

begin "B edits the stored note and saves"
click_in "$L" 117 21 # BtnEdit
sleep 0.3
click_in "$L" 448 190
xdotool key ctrl+End
type_text ", 12 Euro"
click_in "$L" 90 21 # BtnSave
sleep 1
shot saved_B
[ -z "$(visible_window '^Zettelwerk$')" ] || fail "B's second save showed a message"

begin "both end"
on A
quit_program "$PID_A"
on B
quit_program "$PID_B"

begin "database"
expect_clean_database "$prog/notizen.gdb"
expect_titles "Preis" "one note" "$prog/notizen.gdb"
expect_text "$prog/notizen.gdb" "titel = 'Preis'" "11 Euro, 12 Euro"

echo "PASS: two programs, nothing lost (screenshots in $ART)"
exit 0
