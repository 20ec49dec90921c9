#!/usr/bin/env bash
# Finding every note with the real program under a virtual X server, on 20,037 notes: the list's
# scroll bar dragged to its end shows the last notes by title, the list follows the search field
# while typing (a word of a title, several words, ß and ss), and a list emptied by a note saved
# with Ctrl+N fills again. The expected notes are read with isql-fb.
# Usage: search_list.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
source "$(dirname "$0")/../common/session_lib.sh"
e2e_require xclip
e2e_init "${2:?artefact dir}" 240

copy_program "$BIN" "$work/prog"
DB="$work/prog/notizen.gdb"
seed_database "$DB" "'Geburtstag Oma Gertrud', 'Kuchen backen'" "'Nebenkosten', 'Die Heizkosten sind gestiegen'" \
  "'Adresse', 'Hauptstrasse 5'" "'Straße der Jugend', 'Umzug'" "'Einkauf', 'Weiß und Käse'"
cat >"$work/many.sql" <<'EOF'
set term ^;
execute block as
  declare i integer = 1;
begin
  while (i <= 20032) do begin
    insert into tblnotizen (id, titel, bemerkung, zeitstempel)
      values (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Notiz ' || lpad(:i, 5, '0'), 'Text der Notiz ' || :i, 'NOW');
    i = i + 1;
  end
end^
set term ;^
commit;
EOF
sql "$work/many.sql" "$DB" | grep -v '^$' && fail "seeding 20,032 notes failed"
[ "$(sql_value "$DB" "select count(*) from tblnotizen")" = 20037 ] || fail "the database does not hold 20,037 notes"
printf 'set list on;\nselect first 12 titel from tblnotizen order by tblnotizen.titel desc;\n' >"$work/last.sql"
last_titles=$(sql "$work/last.sql" "$DB" | sed -n 's/^TITEL  *//p')

begin "X server, tray host, program, the list"
e2e_display
e2e_program "$work/prog" program.log
e2e_tray_icon
tray_menu_pick 1
wait_window '^Notizenliste$' 20
L=$WIN
sleep 1

begin "all notes by title; the scroll bar dragged to its end shows the last notes"
keys "$L" F5
sleep 1
xdotool mousemove --window "$L" 178 80 mousedown 1 sleep 0.2 mousemove --window "$L" 178 200 sleep 0.2 \
  mousemove --window "$L" 178 300 sleep 0.3 mouseup 1
sleep 1.5
shot scrolled_to_the_end
click_in "$L" 90 262 # the last row shown
sleep 0.5
got=$(field_text "$L" 448 70)
echo "last row shown: $got"
grep -qxF -- "$got" <<<"$last_titles" || fail "dragging the scroll bar to its end shows '$got', not one of the last notes"

search_for() { # the term typed into the search field, no Enter; the list follows
  keys "$L" ctrl+f
  type_text "$1"
  sleep 1.5
  shot "typed_$(tr -c 'a-zA-Z0-9' _ <<<"$1")"
}
begin "typing finds a word of a title, several words, ß and ss"
search_for "oma"
[ "$(field_text "$L" 448 70)" = "Geburtstag Oma Gertrud" ] || fail "'oma' does not find 'Geburtstag Oma Gertrud'"
search_for "heizkosten gestiegen"
[ "$(field_text "$L" 448 70)" = "Nebenkosten" ] || fail "'heizkosten gestiegen' does not find the note holding both words"
search_for "strasse"
found=$(field_text "$L" 448 70)
[ "$found" = "Adresse" ] || [ "$found" = "Straße der Jugend" ] || fail "'strasse' finds '$found'"
search_for "Weiß Käse"
[ "$(field_text "$L" 448 70)" = "Einkauf" ] || fail "'Weiß Käse' does not find 'Einkauf'"

begin "a note saved with Ctrl+N: the list fills again"
keys "$L" ctrl+n
wait_window '^Notiz erfassen$' 20
N=$WIN
sleep 0.3
timeout 5 xdotool windowfocus --sync "$N" 2>/dev/null
type_text "Neue Notiz"
keys "$N" ctrl+s
wait_gone '^Notiz erfassen$' 20
sleep 1
shot refilled
[ "$(field_text "$L" 448 70)" = "Einkauf" ] || fail "the list did not fill again on its note after the save"

echo "PASS: every note is found (screenshots in $ART)"
exit 0
