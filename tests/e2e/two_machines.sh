#!/usr/bin/env bash
# Two programs on two "machines" sharing one notes database on a Firebird server that the test
# starts itself: two homes with their own settings file (database= the server's database),
# each program on its own display. A writes a note that B finds; both edit the note "Preis",
# A saves first, B's save is refused with a message, its own text stays in the field and
# "Notizbearbeitung abbrechen" shows A's text, B's edit from there is saved; B deletes the
# note "Termin". Nothing is lost, and the embedded files beside the programs are not touched.
# Usage: two_machines.sh <bin dir> <artefact dir> <source dir>
set -uo pipefail
BIN=${1:?bin dir}
SRC=${3:?source dir}
here=$(dirname "$0")
source "$here/../common/session_lib.sh"
source "$here/../common/firebird_server.sh"
e2e_require xclip gfix
why=$(fb_server_available) || { echo "SKIP: $why"; exit 77; }
e2e_init "${2:?artefact dir}" 220
e2e_on_exit() { fb_server_stop; }

begin "server"
fb_server_start "$work" || fail "the Firebird server did not start: $(cat "$work/firebird/server.log")"
fb_server_database notizen "$SRC/store/schema.sql" || fail "no database on the server: $(cat "$FB_ROOT/server.log")"
echo "server database $FB_DATABASE"
seed_database "$FB_DATABASE" "'Preis', '10 Euro'" "'Termin', 'Montag'"

# machine <name>: a program copy and a home whose settings file names the server's database.
machine() {
  local m=$1 home=$work/home_$1
  copy_program "$BIN" "$work/prog_$m"
  mkdir -p "$home/.config/zettelwerk" "$home/.local/share" "$home/.cache" "$home/runtime"
  chmod 700 "$home/runtime"
  printf 'database=%s\nuser=sysdba\npassword=lanternix\n' "$FB_DATABASE" >"$home/.config/zettelwerk/zettelwerk.conf"
  chmod 600 "$home/.config/zettelwerk/zettelwerk.conf"
  e2e_program "$work/prog_$m" "program_$m.log" HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/runtime"
}

on() {
  case $1 in
    A) DISPLAY=$DISPLAY_A ICON=$ICON_A ;;
    B) DISPLAY=$DISPLAY_B ICON=$ICON_B ;;
  esac
  export DISPLAY
}

# answer_no: "Nein" to the first-start question, from the keyboard (Hilfe has the focus, then
# Ja, then Nein).
answer_no() {
  wait_window '^Autostart einrichten\?$' 30
  sleep 0.3
  shot "first_start_$1"
  timeout 5 xdotool windowfocus --sync "$WIN" 2>/dev/null
  xdotool key --delay 80 Tab Tab space
  wait_gone '^Autostart einrichten\?$' 20
}

# The settings row says the question was answered (seeded), but each machine's autostart is
# its own: each is asked once, and the shared row stays one row.
begin "machine A"
e2e_display
DISPLAY_A=$DISPLAY
machine A
PID_A=$PROGRAM
e2e_tray_icon
ICON_A=$ICON
answer_no A

begin "machine B"
e2e_display
DISPLAY_B=$DISPLAY
machine B
PID_B=$PROGRAM
e2e_tray_icon
ICON_B=$ICON
answer_no B
[ "$(sql_value "$FB_DATABASE" "select count(*) from tblinterna")" = 1 ] || fail "the settings row was doubled"
ls "$work"/prog_A/erster-start-* "$work"/prog_B/erster-start-* >/dev/null || fail "an answer was not kept on its machine"

# new_note <machine> <title> <text>: through "Notiz erfassen" after a double click on the icon.
new_note() {
  local w
  on "$1"
  open_new_note
  w=$WIN
  sleep 0.3
  click_in "$w" 314 74 # EditTitel
  type_text "$2"
  click_in "$w" 314 188 # Memo
  type_text "$3"
  click_in "$w" 25 21 # BtnSave
  wait_gone '^Notiz erfassen$' 30
}

# search <machine> <term>: the list window, searched; sets L to it.
search() {
  on "$1"
  if [ -z "$(visible_window '^Notizenliste$')" ]; then
    tray_menu_pick 1
    wait_window '^Notizenliste$' 20
    sleep 0.8
  fi
  L=$(visible_window '^Notizenliste$')
  click_in "$L" 78 342 # EditSuchen
  xdotool key ctrl+a
  type_text "$2"
  xdotool key Return
  sleep 1
}

field_text() { # the field at $1 $2 of the list window, copied out
  click_in "$L" "$1" "$2"
  copied_field_text
}

begin "A writes a note, B finds it"
new_note A "Von A" "geschrieben auf A"
search B "Von A"
shot B_finds_A
got=$(field_text 448 70)
[ "$got" = "Von A" ] || fail "B's search shows '$got', not A's note"

begin "both edit Preis"
search A "Preis"
L_A=$L
click_in "$L_A" 117 21 # BtnEdit
click_in "$L_A" 448 190
xdotool key ctrl+a
type_text "11 Euro"
search B "Preis"
L_B=$L
click_in "$L_B" 117 21
click_in "$L_B" 448 190
xdotool key ctrl+a
type_text "12 Euro"
shot both_editing

begin "A saves"
on A
click_in "$L_A" 90 21 # BtnSave
sleep 1
[ -z "$(visible_window '^Zettelwerk$')" ] || fail "A's save showed a message"

begin "B's save is refused"
on B
L=$L_B
click_in "$L_B" 90 21
wait_window '^Zettelwerk$' 20
sleep 0.3
shot refused_B
xdotool key Return
wait_gone '^Zettelwerk$' 20
got=$(field_text 448 190)
[ "$got" = "12 Euro" ] || fail "B's own text is gone from the field: '$got'"
click_in "$L_B" 148 21 # BtnCancel
sleep 0.8
got=$(field_text 448 190)
[ "$got" = "11 Euro" ] || fail "cancelling shows '$got', not A's text"
click_in "$L_B" 117 21
click_in "$L_B" 448 190
xdotool key ctrl+End
type_text ", 12 Euro"
click_in "$L_B" 90 21
sleep 1
shot saved_B
[ -z "$(visible_window '^Zettelwerk$')" ] || fail "B's second save showed a message"

begin "B deletes Termin, A no longer finds it"
search B "Termin"
click_in "$L" 180 21 # BtnDelete
answer_default '^Confirm$' 20 delete_question
sleep 0.5
search A "Termin"
shot A_searches_deleted
got=$(field_text 448 70)
[ -z "$got" ] || fail "A still finds '$got'"

begin "both end"
on A
quit_program "$PID_A"
on B
quit_program "$PID_B"

begin "the server's database"
expect_titles "Preis|Von A" "A's note kept, Termin deleted" "$FB_DATABASE"
expect_text "$FB_DATABASE" "titel = 'Preis'" "11 Euro, 12 Euro"
expect_text "$FB_DATABASE" "titel = 'Von A'" "geschrieben auf A"
expect_clean_database "$FB_DATABASE"
for m in A B; do
  cmp -s "$BIN/notizen.gdb" "$work/prog_$m/notizen.gdb" || fail "the embedded file of $m was changed"
done
fb_server_stop

echo "PASS: two machines on one server, nothing lost (screenshots in $ART)"
exit 0
