#!/usr/bin/env bash
# A whole session with the real program under a virtual X server with a tray host, driven
# like a user with xdotool: first-start question, two new notes from the tray icon, search,
# edit, delete, backup, restore, quit. Works on a copy of the program and its database;
# a screenshot of every step is kept in the artefact directory, the database is checked
# with isql-fb after the program has ended.
# Usage: tray_session.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
source "$(dirname "$0")/../common/session_lib.sh"
e2e_require gbak
e2e_init "${2:?artefact dir}" 220

copy_program "$BIN" "$work/prog"

begin "X server and tray host"
e2e_display

# ------------------------------------------------------------------ first start
begin "program start and first-start question"
e2e_program "$work/prog" program.log
e2e_tray_icon
wait_window '^Autostart einrichten\?$' 30
sleep 0.3
shot first_start_question
click_in "$WIN" 173 159 # "Nein"
wait_gone '^Autostart einrichten\?$' 20
shot after_first_start

# ------------------------------------------------------------------ two new notes
new_note() {
  local title=$1 text1=$2 text2=$3 w
  open_new_note
  w=$WIN
  sleep 0.3
  click_in "$w" 314 74 # EditTitel
  type_text "$title"
  click_in "$w" 314 188 # Memo
  type_text "$text1"
  xdotool key Return
  type_text "$text2"
  sleep 0.3
  shot "new_note_typed"
  click_in "$w" 25 21 # BtnSave
  wait_gone '^Notiz erfassen$' 30
  shot "new_note_saved"
}
begin "new note 1 from a double click on the tray icon"
new_note "Einkauf E2E" "Milch und Brot" "zweite Zeile"
begin "new note 2"
new_note "Termin E2E" "Zahnarzt am Dienstag" "um 10 Uhr"

# ------------------------------------------------------------------ list, search, edit, delete
begin "notes list from the tray menu"
tray_menu_pick 1
wait_window '^Notizenliste$' 20
L=$WIN
sleep 0.8
shot list_all

begin "search"
click_in "$L" 78 342 # EditSuchen
type_text "termin%"
xdotool key Return
sleep 1
shot search_termin

begin "edit and save"
click_in "$L" 117 21 # BtnEdit
sleep 0.3
click_in "$L" 448 70 # DBEditTitel
xdotool key ctrl+a
type_text "Termin verschoben"
sleep 0.3
shot edit_typed
click_in "$L" 90 21 # BtnSave
sleep 1
shot edit_saved

begin "delete"
click_in "$L" 180 21 # BtnDelete
answer_default '^Confirm$' 20 delete_question
sleep 1
shot deleted

# ------------------------------------------------------------------ administration
begin "administration window"
tray_menu_pick 2
wait_window '^Verwaltung$' 20
V=$WIN
sleep 0.5
shot administration

begin "backup"
rm -f "$work/prog/notizenbackup.gbk"
click_in "$V" 94 79 # BtnBackup
answer_default '^Confirm$' 20 backup_question
answer_default '^Information$' 60 backup_done
sleep 0.5
shot backup_finished
[ -s "$work/prog/notizenbackup.gbk" ] || fail "no backup file written"
# The backup holds the committed notes: restore it into a scratch database and look.
for _ in $(seq 20); do
  rm -f "$work/check.gdb"
  timeout 60 gbak -c -user sysdba -password lanternix "$work/prog/notizenbackup.gbk" \
    "$work/check.gdb" >"$work/gbak.log" 2>&1 && break
  sleep 0.5
done
[ -s "$work/check.gdb" ] || fail "backup file cannot be restored: $(cat "$work/gbak.log")"
expect_titles "Einkauf E2E" "notes in the backup" "$work/check.gdb"

begin "restore"
inode_before=$(stat -c %i "$work/prog/notizen.gdb")
click_in "$V" 94 127 # BtnRestore
answer_default '^Confirm$' 20 restore_question
answer_default '^Information$' 60 restore_done
sleep 0.5
shot restore_finished
[ "$(stat -c %i "$work/prog/notizen.gdb")" != "$inode_before" ] ||
  fail "database file was not replaced by the restore"

# ------------------------------------------------------------------ quit
begin "quit"
quit_program "$PROGRAM"
shot after_quit
[ -z "$(tray_icon_pos)" ] || fail "tray icon still shown after the end"

# ------------------------------------------------------------------ database state
begin "database state"
expect_titles "Einkauf E2E" "the edited note deleted, the other kept" "$work/prog/notizen.gdb"
cat >"$work/q.sql" <<'EOF'
set list on;
select count(*) as notes from tblnotizen;
select titel, bemerkung from tblnotizen order by id;
select count(*) as settings_rows from tblinterna;
select count(*) as text_exact from tblnotizen
  where bemerkung = 'Milch und Brot' || ascii_char(13) || ascii_char(10) || 'zweite Zeile';
EOF
out=$(sql "$work/q.sql" "$work/prog/notizen.gdb")
echo "$out" >"$ART/database.txt"
echo "$out"
grep -qE '^NOTES +1$' <<<"$out" || fail "expected exactly one note left"
grep -qE '^TITEL +Einkauf E2E$' <<<"$out" || fail "the kept note is missing"
grep -qE '^TEXT_EXACT +1$' <<<"$out" || fail "the kept note's text is not stored as typed"
grep -q 'Termin' <<<"$out" && fail "the edited and deleted note is still there"
grep -qE '^SETTINGS_ROWS +1$' <<<"$out" || fail "the first-start answer was not stored"
[ -e "$work/config/autostart/Zettelwerk.desktop" ] && fail "autostart entry written after Nein"
[ -e "$work/data/zettelwerk/notizen.gdb" ] && fail "the program worked on a database outside its directory"

echo "PASS: tray session (screenshots in $ART)"
exit 0
