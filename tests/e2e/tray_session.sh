#!/usr/bin/env bash
# A whole session with the real program under a virtual X server with a tray host, driven
# like a user with xdotool: first-start question, two new notes from the tray icon, search,
# edit, delete, backup, restore, quit. Works on a copy of the program and its database;
# a screenshot of every step is kept in the artefact directory, the database is checked
# with isql-fb after the program has ended.
# Usage: tray_session.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
ART=${2:?artefact dir}
GLOBAL_TIMEOUT=${ZW_E2E_TIMEOUT:-220}

for tool in Xvfb xdotool trayer import xwininfo xdpyinfo xprop isql-fb gbak; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done

unset DISPLAY
work=$(mktemp -d /tmp/zw-e2e.XXXXXX)
xpid="" tpid="" ppid="" wpid=""
step="start-up"
shot_no=0

cleanup() {
  local rc=$?
  trap - EXIT TERM INT
  [ -n "$wpid" ] && kill "$wpid" 2>/dev/null
  [ -n "$ppid" ] && kill -KILL "$ppid" 2>/dev/null
  [ -n "$tpid" ] && kill "$tpid" 2>/dev/null
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
  wait 2>/dev/null
  [ -f "$work/run.log" ] && cp "$work/run.log" "$ART/program.log" 2>/dev/null
  if [ "$rc" -ne 0 ] && [ -f "$work/run.log" ]; then
    echo "--- program output"
    cat "$work/run.log"
  fi
  rm -rf "$work"
  exit "$rc"
}
trap cleanup EXIT
trap 'echo "FAIL: global timeout of ${GLOBAL_TIMEOUT} s reached during: $step"; shot failure; exit 1' TERM
trap 'exit 130' INT

fail() {
  echo "FAIL ($step): $*"
  if [ -n "${DISPLAY:-}" ]; then
    echo "windows shown: $(xdotool search --onlyvisible --classname zettelwerk getwindowname %@ 2>/dev/null |
      paste -sd'|')"
  fi
  shot failure
  exit 1
}

shot() {
  [ -n "${DISPLAY:-}" ] || return 0
  shot_no=$((shot_no + 1))
  local name
  name=$(printf '%02d_%s.png' "$shot_no" "$1")
  timeout 30 import -window root "$ART/$name" 2>/dev/null || echo "warning: screenshot $name failed"
}

begin() {
  step=$1
  echo "== $step"
}

# Polls $1 (a command printing a non-empty result when satisfied) every 0.1 s for up to $2 s.
poll() {
  local cmd=$1 secs=$2 out i
  for ((i = 0; i < secs * 10; i++)); do
    out=$(eval "$cmd" 2>/dev/null)
    if [ -n "$out" ]; then
      echo "$out"
      return 0
    fi
    [ -n "$ppid" ] && ! kill -0 "$ppid" 2>/dev/null && return 2
    sleep 0.1
  done
  return 1
}

visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }

# Sets WIN to the first visible window whose name matches $1, waiting up to $2 s.
wait_window() {
  local rc
  WIN=$(poll "visible_window '$1'" "${2:-30}")
  rc=$?
  [ "$rc" -eq 2 ] && fail "program ended while waiting for window '$1'"
  [ -n "$WIN" ] || fail "no window '$1' within ${2:-30} s"
  # What a window manager shows is the UTF-8 name; it must match as well.
  local shown
  shown=$(xprop -id "$WIN" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
  printf '%s\n' "$shown" | grep -qE "$1" || fail "window '$1' shows the caption '$shown'"
}

wait_gone() {
  local i
  for ((i = 0; i < ${2:-30} * 10; i++)); do
    [ -z "$(visible_window "$1")" ] && return 0
    sleep 0.1
  done
  fail "window '$1' still open after ${2:-30} s"
}

# Clicks at a position inside a window (no window manager: no frame, client coordinates).
click_in() { xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; }

type_text() { xdotool type --delay 15 -- "$1"; }

# Answers a message dialog with its default button (Return).
answer_default() {
  wait_window "$1" "${2:-30}"
  sleep 0.3
  shot "$3"
  timeout 5 xdotool windowfocus --sync "$WIN" 2>/dev/null
  xdotool key Return
  wait_gone "$1" 30
}

# Centre of the tray icon, as "X Y": the program's small window once the tray host has
# embedded it (its centre lies inside the host's panel).
tray_icon_pos() {
  local panel X Y WIDTH HEIGHT
  panel=$(xdotool search --onlyvisible --name '^panel$' 2>/dev/null | head -1)
  [ -n "$panel" ] || return 0
  eval "$(xdotool getwindowgeometry --shell "$panel" 2>/dev/null)"
  xwininfo -root -tree 2>/dev/null | awk -v px="${X:-0}" -v py="${Y:-0}" -v pw="${WIDTH:-0}" \
    -v ph="${HEIGHT:-0}" '
    /"Zettelwerk": \("zettelwerk"/ {
      g = ""
      for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+[+-]+[0-9]+[+-]+[0-9]+$/) g = $i
      if (g == "") next
      split(g, a, /[x+-]+/)
      if (a[1] > 64 || a[2] > 64) next
      if (split($NF, b, /\+/) != 3) next
      cx = b[2] + int(a[1] / 2); cy = b[3] + int(a[2] / 2)
      if (cx >= px && cx < px + pw && cy >= py && cy < py + ph) { print cx, cy; exit }
    }'
}

# The tray menu's popup window id: a visible window of the program named "Zettelwerk"
# with a menu's size.
tray_menu() {
  local w
  for w in $(xdotool search --onlyvisible --classname zettelwerk 2>/dev/null); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "Zettelwerk" ] || continue
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
    if [ "${WIDTH:-0}" -ge 100 ] && [ "${WIDTH:-0}" -le 400 ] && [ "${HEIGHT:-0}" -ge 100 ] &&
      [ "${HEIGHT:-0}" -le 400 ]; then
      echo "$w"
      return
    fi
  done
}

# Picks an entry of the tray menu by its row (0 Notiz anlegen, 1 Notiz suchen, 2 Verwaltung,
# 6 Beenden); rows are 22 pixels high, the separators 5.
tray_menu_pick() {
  local row=$1 y m
  case $row in
    0) y=12 ;; 1) y=34 ;; 2) y=56 ;; 6) y=132 ;; *) fail "unknown menu row $row" ;;
  esac
  # shellcheck disable=SC2086
  xdotool mousemove $icon click 3
  m=$(poll tray_menu 20) || fail "tray menu did not open"
  sleep 0.3
  shot "tray_menu"
  click_in "$m" 60 "$y"
}

# sql <script> [database]
sql() { timeout 60 isql-fb -q -user sysdba -password lanternix "${2:-$work/prog/notizen.gdb}" -i "$1" 2>&1; }

# Titles of the notes in id order, joined by "|". Only after the program has ended: the
# embedded engine holds the database file exclusively while the program runs.
db_titles() {
  printf 'set list on;\nselect titel from tblnotizen order by id;\n' >"$work/titles.sql"
  sql "$work/titles.sql" "${1:-}" >"$work/titles.out"
  sed -n 's/^TITEL  *//p' "$work/titles.out" | paste -sd'|'
}

# expect_titles <titles> <what> [database]
expect_titles() {
  local got
  got=$(db_titles "${3:-}")
  echo "committed titles: $got"
  [ "$got" = "$1" ] || fail "database holds titles '$got', expected '$1' ($2); isql-fb: $(cat "$work/titles.out")"
}

# ------------------------------------------------------------------ set-up
mkdir -p "$ART" "$work/prog" "$work/config" "$work/data" "$work/runtime" || exit 1
chmod 700 "$work/runtime"
rm -f "$ART"/*.png
for f in zettelwerk notizen.gdb zettelwerk.chm; do
  cp "$BIN/$f" "$work/prog/" || fail "$BIN/$f missing"
done
chmod u+w "$work/prog/notizen.gdb"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" \
  QT_QPA_PLATFORM=xcb
unset ZW_AUTO_ANSWER ZW_QUIT_WHEN_IDLE SESSION_MANAGER

# Watchdog: ends the run through the TERM trap; its own sleep goes with it.
(
  trap 'kill "$s" 2>/dev/null; exit 0' TERM
  sleep "$GLOBAL_TIMEOUT" &
  s=$!
  wait "$s" && kill -TERM $$ 2>/dev/null
) >/dev/null 2>&1 &
wpid=$!

begin "X server and tray host"
# Our own server: the lock file names its process (two runs may race for the same number).
own_display() {
  kill -0 "$xpid" 2>/dev/null || return 1
  [ "$(cat "/tmp/.X$1-lock" 2>/dev/null | tr -d ' \n')" = "$xpid" ] || return 1
  xdpyinfo -display ":$1" >/dev/null 2>&1
}

stop_display() {
  [ -n "$tpid" ] && kill "$tpid" 2>/dev/null && wait "$tpid" 2>/dev/null
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  tpid="" xpid=""
  unset DISPLAY
}

# Starts Xvfb on the first free display from $1 (no reset when the last client leaves: a
# client arriving during a reset may be turned away). Sets DISPLAY and xpid.
start_display() {
  local n
  for ((n = $1; n < 200; n++)); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xpid=$!
    for _ in $(seq 150); do
      own_display "$n" && break
      kill -0 "$xpid" 2>/dev/null || break
      sleep 0.1
    done
    if own_display "$n"; then
      export DISPLAY=":$n"
      return 0
    fi
    kill "$xpid" 2>/dev/null
    wait "$xpid" 2>/dev/null
    xpid=""
  done
  return 1
}

start_tray_host() {
  trayer --edge top --align right --widthtype request --height 32 --transparent false \
    >"$work/trayer.log" 2>&1 &
  tpid=$!
  local i
  for ((i = 0; i < 200; i++)); do
    [ -n "$(xdotool search --onlyvisible --name '^panel$' 2>/dev/null)" ] && return 0
    kill -0 "$tpid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# A server that goes away under the tray host is replaced by a fresh one on another display.
display_from=120
for attempt in 1 2 3; do
  start_display "$display_from" || fail "no X server could be started: $(cat "$work/xvfb.log")"
  echo "display $DISPLAY"
  start_tray_host && break
  echo "tray host did not come up on $DISPLAY (attempt $attempt):"
  sed 's/^/  trayer: /' "$work/trayer.log"
  kill -0 "$xpid" 2>/dev/null || echo "  the X server has ended:"
  sed 's/^/  Xvfb: /' "$work/xvfb.log"
  [ "$attempt" -eq 3 ] && fail "tray host did not come up"
  display_from=$((${DISPLAY#:} + 1))
  stop_display
done

# ------------------------------------------------------------------ first start
begin "program start and first-start question"
(cd "$work/prog" && exec ./zettelwerk) >"$work/run.log" 2>&1 &
ppid=$!
icon=$(poll tray_icon_pos 30) || fail "no tray icon within 30 s"
echo "tray icon at $icon"
wait_window '^Autostart einrichten\?$' 30
sleep 0.3
shot first_start_question
click_in "$WIN" 173 159 # "Nein"
wait_gone '^Autostart einrichten\?$' 20
shot after_first_start

# ------------------------------------------------------------------ two new notes
new_note() {
  local title=$1 text1=$2 text2=$3 w="" try
  # A loaded machine may stretch the two clicks beyond the double-click time: try again.
  for try in 1 2 3; do
    # shellcheck disable=SC2086
    xdotool mousemove $icon click --repeat 2 --delay 60 1
    w=$(poll "visible_window '^Notiz erfassen$'" 10) && break
    kill -0 "$ppid" 2>/dev/null || fail "program ended"
    echo "double click $try did not open the window"
  done
  [ -n "$w" ] || fail "double click on the tray icon did not open the new-note window"
  sleep 0.3
  click_in "$w" 314 74 # EditTitel
  type_text "$title"
  click_in "$w" 314 188 # Memo
  type_text "$text1"
  xdotool key Return
  type_text "$text2"
  sleep 0.3
  shot "new_note_typed"
  click_in "$w" 25 16 # BtnSave
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
click_in "$L" 117 16 # BtnEdit
sleep 0.3
click_in "$L" 448 58 # DBEditTitel
xdotool key ctrl+a
type_text "Termin verschoben"
sleep 0.3
shot edit_typed
click_in "$L" 90 16 # BtnSave
sleep 1
shot edit_saved

begin "delete"
click_in "$L" 180 16 # BtnDelete
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
tray_menu_pick 6
for _ in $(seq 300); do
  kill -0 "$ppid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$ppid" 2>/dev/null && fail "program still running 30 s after Beenden"
wait "$ppid"
rc=$?
ppid=""
shot after_quit
[ "$rc" -eq 0 ] || fail "program ended with exit code $rc"
[ -z "$(tray_icon_pos)" ] || fail "tray icon still shown after the end"

# ------------------------------------------------------------------ database state
begin "database state"
expect_titles "Einkauf E2E" "the edited note deleted, the other kept"
cat >"$work/q.sql" <<'EOF'
set list on;
select count(*) as notes from tblnotizen;
select titel, bemerkung from tblnotizen order by id;
select count(*) as settings_rows from tblinterna;
select count(*) as text_exact from tblnotizen
  where bemerkung = 'Milch und Brot' || ascii_char(13) || ascii_char(10) || 'zweite Zeile';
EOF
out=$(sql "$work/q.sql")
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
