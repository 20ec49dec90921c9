#!/usr/bin/env bash
# A command line that reaches the running program, with the real program under a virtual X
# server: `zettelwerk --suchen` with no program running starts one that opens the list;
# `--neue-notiz` while it runs opens the new-note window there and ends at once; `--suchen`
# only brings the open list to the front; a start without an option is a second program that
# takes nothing away from the first; after the first is killed, its stale socket does not stop
# the next `--neue-notiz` from starting a program; "Beenden" removes the socket; a window that a
# later start asks for while the first-start question waits opens once the question is closed;
# `--suchen BEGRIFF` searches in the running program's list, or starts one that does; `--finden
# BEGRIFF` prints from the shell what isql-fb finds for the words (and at least what the first
# release's statement finds), while the program runs.
# Usage: command_line.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
source "$(dirname "$0")/../common/session_lib.sh"
e2e_require
e2e_init "${2:?artefact dir}" 200

copy_program "$BIN" "$work/prog"
seed_database "$work/prog/notizen.gdb" "'Einkauf', 'Milch'" "'Geburtstag Oma Gertrud', 'Kuchen backen'" \
  "'Straße', 'gesperrt'" "'Hauptstrasse 5', 'Umzug'" "'Rabatt 50%', 'Einkauf am Freitag'" "'Weiß', NULL"

# Processes running the copy's executable.
program_count() {
  local p n=0
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$work/prog/zettelwerk" ] && n=$((n + 1))
  done
  echo "$n"
}
# A later start with options, as a desktop shortcut runs it; must end within 20 s.
ask() {
  local rc start
  start=$(date +%s%N)
  (cd "$work/prog" && timeout 20 ./zettelwerk "$@") >>"$work/ask.log" 2>&1
  rc=$?
  echo "zettelwerk $* ended with $rc after $((($(date +%s%N) - start) / 1000000)) ms"
  return "$rc"
}
socket() { ls "$work/runtime/zettelwerk"/zettelwerk-* 2>/dev/null | grep -v "\.lock$"; }

begin "X server and tray host"
e2e_display

begin "not running: --suchen starts the program with the list"
e2e_program "$work/prog" program1.log -- --suchen
FIRST=$PROGRAM
e2e_tray_icon
wait_window '^Notizenliste$' 30
L=$WIN
sleep 0.5
shot started_with_list
[ -S "$(socket)" ] || fail "the program does not listen in the runtime directory: $(ls -la "$work/runtime/zettelwerk")"
[ "$(program_count)" = 1 ] || fail "$(program_count) programs run"

begin "running: --neue-notiz opens the window in it"
ask --neue-notiz || fail "--neue-notiz failed: $(cat "$work/ask.log")"
wait_window '^Notiz erfassen$' 20
A=$WIN
sleep 0.3
shot new_note_from_command_line
[ "$(program_count)" = 1 ] || fail "--neue-notiz left $(program_count) programs running"

begin "running: --suchen only brings the open list to the front"
click_in "$L" 78 342 # EditSuchen
type_text "Milch"
ask --suchen || fail "--suchen failed: $(cat "$work/ask.log")"
sleep 0.5
click_in "$L" 78 342
got=$(copied_field_text)
[ "$got" = "Milch" ] || fail "the list was opened again (search field holds '$got')"

begin "running: --suchen BEGRIFF searches in the open list"
ask --suchen Geburtstag oma gertrud || fail "--suchen Geburtstag oma gertrud failed: $(cat "$work/ask.log")"
sleep 0.5
shot searched_from_command_line
click_in "$L" 78 342
got=$(copied_field_text)
[ "$got" = "Geburtstag oma gertrud" ] || fail "the search field holds '$got', expected the term"
got=$(field_text "$L" 448 70) # DBEditTitel: the note found
[ "$got" = "Geburtstag Oma Gertrud" ] || fail "the list shows '$got', expected the note found"

begin "running: --finden prints what isql-fb finds"
# lines_of <condition>: creation stamp and title as --finden prints them, from isql-fb.
lines_of() {
  printf 'set list on;\nselect zeitstempel, titel from tblnotizen where %s order by titel, id;\n' "$1" >"$work/find.sql"
  sql "$work/find.sql" "$work/prog/notizen.gdb" |
    awk '/^ZEITSTEMPEL /{s = substr($2 " " $3, 1, 16)} /^TITEL /{sub(/^TITEL +/, ""); print s "  " $0}'
}
# expect_found <expected exit code> <isql condition> <term...>
expect_found() {
  local rc=$1 condition=$2 got code expected first
  shift 2
  got=$(cd "$work/prog" && timeout 20 ./zettelwerk --finden "$@" 2>>"$work/ask.log")
  code=$?
  [ "$code" -eq "$rc" ] || fail "--finden $* ended with $code, expected $rc: $(cat "$work/ask.log")"
  expected=$(lines_of "$condition")
  [ "$got" = "$expected" ] || fail "--finden $* printed:
$got
isql-fb finds:
$expected"
  # At least what the first release's statement finds for the whole term.
  first=$(lines_of "((Upper(tblnotizen.titel) like Upper('$*')) or  bemerkung containing '$*')")
  [ -z "$(comm -23 <(sort <<<"$first") <(sort <<<"$got"))" ] || fail "--finden $* misses what the first release found: $first"
}
expect_found 0 "titel containing 'oma' or bemerkung containing 'oma'" Oma
expect_found 0 "titel containing 'einkauf' or bemerkung containing 'einkauf'" einkauf
expect_found 0 "(titel containing 'geburtstag' or bemerkung containing 'geburtstag') and \
(titel containing 'kuchen' or bemerkung containing 'kuchen')" Geburtstag Kuchen
expect_found 0 "titel containing 'strasse' or titel containing 'straße'" strasse
expect_found 0 "titel containing 'strasse' or titel containing 'straße'" Straße
expect_found 0 "titel containing 'weiß'" WEISS
expect_found 0 "Upper(titel) like '%RABATT%'" '%rabatt%'
expect_found 1 "1 = 0" gibt es nicht
(cd "$work/prog" && timeout 20 ./zettelwerk --finden >/dev/null 2>&1)
[ $? -eq 2 ] || fail "--finden without a term is no usage error"

begin "a start without an option is a second program"
e2e_program "$work/prog" program2.log ZW_AUTO_ANSWER=default
SECOND=$PROGRAM
poll "grep -x 'event loop running' '$work/program2.log'" 30 >/dev/null || fail "the second program did not start"
[ "$(program_count)" = 2 ] || fail "$(program_count) programs run, expected two"
kill -TERM "$SECOND"
wait_ended "$SECOND" 30 SIGTERM "the second program"
[ "$RC" -eq 0 ] || fail "the second program ended with $RC"
[ -S "$(socket)" ] || fail "the second program took the first one's socket away"

begin "the first program still answers"
timeout 5 xdotool windowfocus --sync "$A" 2>/dev/null
xdotool key Escape # closes the empty new-note window without a question
wait_gone '^Notiz erfassen$' 10
ask --neue-notiz || fail "--neue-notiz failed: $(cat "$work/ask.log")"
wait_window '^Notiz erfassen$' 20
[ "$(program_count)" = 1 ] || fail "$(program_count) programs run"

begin "a killed program's socket does not stop the next start"
kill -KILL "$FIRST"
wait "$FIRST" 2>/dev/null
PPIDS=()
[ -S "$(socket)" ] || fail "expected the killed program's socket to stay behind"
e2e_program "$work/prog" program3.log -- --neue-notiz
wait_window '^Notiz erfassen$' 30
e2e_tray_icon
shot started_after_kill
[ "$(program_count)" = 1 ] || fail "$(program_count) programs run"

begin "Beenden removes the socket"
quit_program "$PROGRAM"
[ -z "$(socket)" ] || fail "socket left after the end: $(socket)"
[ -s "$work/ask.log" ] && fail "a later start wrote messages: $(cat "$work/ask.log")"

begin "not running: --suchen BEGRIFF starts the program with the list searched"
e2e_program "$work/prog" program4.log -- --suchen Straße
wait_window '^Notizenliste$' 30
L=$WIN
sleep 0.5
click_in "$L" 78 342
got=$(copied_field_text)
[ "$got" = "Straße" ] || fail "the new program's search field holds '$got'"
got=$(field_text "$L" 448 70)
[ "$got" = "Hauptstrasse 5" ] || [ "$got" = "Straße" ] || fail "the new program's list shows '$got'"
quit_program "$PROGRAM"

begin "a window a later start asks for opens once the first-start question is closed"
copy_program "$BIN" "$work/fresh" # an empty database: the question comes a second after the start
e2e_program "$work/fresh" program_fresh.log
wait_window '^Autostart einrichten\?$' 30
Q=$WIN
(cd "$work/fresh" && timeout 20 ./zettelwerk --suchen) >>"$work/ask.log" 2>&1 || fail "--suchen failed: $(cat "$work/ask.log")"
sleep 1
shot question_after_request
[ -z "$(visible_window '^Notizenliste$')" ] || fail "the list opened while the question waits"
[ -n "$(visible_window '^Autostart einrichten\?$')" ] || fail "the question is gone"
timeout 5 xdotool windowfocus --sync "$Q" 2>/dev/null
xdotool key Escape # closes the question (it comes again next time)
wait_gone '^Autostart einrichten\?$' 10
wait_window '^Notizenliste$' 20
quit_program "$PROGRAM"

echo "PASS: command line reaches the running program (screenshots in $ART)"
exit 0
