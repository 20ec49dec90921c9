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
ART=${5:?artefact dir}
GLOBAL_TIMEOUT=${ZW_E2E_TIMEOUT:-360}

for tool in Xvfb xdotool trayer import xwininfo xdpyinfo isql-fb minisign gcab python3 sha256sum; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
for f in "$BIN/zettelwerk" "$BIN/zw-publish" "$NEXT/zettelwerk"; do
  [ -x "$f" ] || { echo "FAIL: $f missing"; exit 1; }
done

unset DISPLAY
work=$(mktemp -d /tmp/zw-selfupdate.XXXXXX)
xpid="" tpid="" ppid="" wpid="" spid=""
step="start-up"
shot_no=0

cleanup() {
  local rc=$?
  trap - EXIT TERM INT
  [ -n "$wpid" ] && kill "$wpid" 2>/dev/null
  [ -n "$ppid" ] && kill -KILL "$ppid" 2>/dev/null
  [ -n "$spid" ] && kill "$spid" 2>/dev/null
  [ -n "$tpid" ] && kill "$tpid" 2>/dev/null
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
  wait 2>/dev/null
  cp "$work/run.log" "$ART/program.log" 2>/dev/null
  cp "$work/prog/WUPDATE.LOG" "$ART/WUPDATE.LOG" 2>/dev/null
  if [ "$rc" -ne 0 ]; then
    echo "--- program output"
    cat "$work/run.log" 2>/dev/null
    echo "--- WUPDATE.LOG"
    cat "$work/prog/WUPDATE.LOG" 2>/dev/null
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
  timeout 30 import -window root "$ART/$(printf '%02d_%s.png' "$shot_no" "$1")" 2>/dev/null ||
    echo "warning: screenshot $1 failed"
}

begin() {
  step=$1
  echo "== $step"
}

# The running program's process: the one we started, or the one the updater started for us.
program_alive() { [ -n "$ppid" ] && kill -0 "$ppid" 2>/dev/null; }

# Polls $1 (a command printing a non-empty result when satisfied) every 0.1 s for up to $2 s.
poll() {
  local cmd=$1 secs=$2 out i
  for ((i = 0; i < secs * 10; i++)); do
    out=$(eval "$cmd" 2>/dev/null)
    if [ -n "$out" ]; then
      echo "$out"
      return 0
    fi
    program_alive || return 2
    sleep 0.1
  done
  return 1
}

visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }

wait_window() {
  local rc
  WIN=$(poll "visible_window '$1'" "${2:-30}")
  rc=$?
  if [ "$rc" -eq 2 ]; then
    wait "$ppid" 2>/dev/null
    fail "program ended (exit status $?) while waiting for window '$1'"
  fi
  [ -n "$WIN" ] || fail "no window '$1' within ${2:-30} s"
}

wait_gone() {
  local i
  for ((i = 0; i < ${2:-30} * 10; i++)); do
    [ -z "$(visible_window "$1")" ] && return 0
    sleep 0.1
  done
  fail "window '$1' still open after ${2:-30} s"
}

click_in() { xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; }

# Answers a message dialog with its default button (Return): "&Yes" for questions, "OK" else.
answer_default() {
  wait_window "$1" "${2:-30}"
  sleep 0.3
  shot "$3"
  timeout 5 xdotool windowfocus --sync "$WIN" 2>/dev/null
  xdotool key Return
  wait_gone "$1" 30
}

# Centre of the tray icon as "X Y" (the program's small window inside the tray host's panel).
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

tray_menu() {
  local w X Y WIDTH HEIGHT
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

# Picks a tray menu entry by row: 2 Verwaltung, 4 Über Zettelwerk, 6 Beenden (rows 22 pixels
# high, separators 5).
tray_menu_pick() {
  local y m
  case $1 in
    2) y=56 ;; 4) y=105 ;; 6) y=132 ;; *) fail "unknown menu row $1" ;;
  esac
  # shellcheck disable=SC2086
  xdotool mousemove $icon click 3
  m=$(poll tray_menu 20) || fail "tray menu did not open"
  sleep 0.3
  shot "tray_menu"
  click_in "$m" 60 "$y"
}

sql() { timeout 60 isql-fb -q -user sysdba -password lanternix "$work/prog/notizen.gdb" -i "$1" 2>&1; }

notes_dump() {
  printf 'set list on;\nselect id, titel, bemerkung, zeitstempel from tblnotizen order by id;\n' >"$work/notes.sql"
  sql "$work/notes.sql"
}

# Every file of the program directory but the database and the log, with its checksum; the
# database changes by the update window's date of the last attempt and is compared by its notes.
program_files() {
  (cd "$work/prog" && find . -mindepth 1 ! -name notizen.gdb ! -name WUPDATE.LOG -printf '%y %m %p\n' |
    sort && find . -type f ! -name notizen.gdb ! -name WUPDATE.LOG -exec sha256sum {} + | sort)
}

log_numbers() { sed -n 's/^.\{19\} : \[\([0-9]*\)\].*/\1/p' "$work/prog/WUPDATE.LOG" 2>/dev/null | paste -sd' '; }

# ------------------------------------------------------------------ set-up
mkdir -p "$ART" "$work/prog" "$work/release" "$work/old" "$work/srv" "$work/keys" "$work/config" \
  "$work/data" "$work/runtime" || exit 1
chmod 700 "$work/runtime"
rm -f "$ART"/*.png
for f in zettelwerk notizen.gdb zettelwerk.chm; do
  cp "$BIN/$f" "$work/prog/" || fail "$BIN/$f missing"
done
chmod u+w "$work/prog/notizen.gdb"
cp "$NEXT/zettelwerk" "$work/release/" && cp "$BIN/zettelwerk.chm" "$work/release/" || fail "release B incomplete"
cp "$BIN/zettelwerk" "$BIN/zettelwerk.chm" "$work/old/"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" \
  QT_QPA_PLATFORM=xcb
unset ZW_AUTO_ANSWER ZW_QUIT_WHEN_IDLE SESSION_MANAGER

begin "keys, server and release B"
minisign -G -W -p "$work/keys/update.pub" -s "$work/keys/update.sec" </dev/null >/dev/null ||
  fail "minisign -G failed"
minisign -G -W -p "$work/keys/other.pub" -s "$work/keys/other.sec" </dev/null >/dev/null ||
  fail "minisign -G failed"
# The maker's key ships beside the program.
cp "$work/keys/update.pub" "$work/prog/zettelwerk-update.pub"
cp "$work/keys/update.pub" "$work/release/zettelwerk-update.pub"

coproc SERVER { exec python3 "$SRC/tests/update/http_test_server.py" "$work/srv"; }
spid=$SERVER_PID
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

# Watchdog: ends the run through the TERM trap.
(
  trap 'kill "$s" 2>/dev/null; exit 0' TERM
  sleep "$GLOBAL_TIMEOUT" &
  s=$!
  wait "$s" && kill -TERM $$ 2>/dev/null
) >/dev/null 2>&1 &
wpid=$!

begin "X server and tray host"
own_display() {
  kill -0 "$xpid" 2>/dev/null || return 1
  [ "$(cat "/tmp/.X$1-lock" 2>/dev/null | tr -d ' \n')" = "$xpid" ] || return 1
  xdpyinfo -display ":$1" >/dev/null 2>&1
}
start_display() {
  local n
  for ((n = $1; n < 240; n++)); do
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
display_from=160
for attempt in 1 2 3; do
  start_display "$display_from" || fail "no X server could be started: $(cat "$work/xvfb.log")"
  start_tray_host && break
  [ "$attempt" -eq 3 ] && fail "tray host did not come up: $(cat "$work/trayer.log")"
  display_from=$((${DISPLAY#:} + 1))
  kill "$tpid" "$xpid" 2>/dev/null
  wait "$tpid" "$xpid" 2>/dev/null
  tpid="" xpid=""
  unset DISPLAY
done
echo "display $DISPLAY"

# ------------------------------------------------------------------ release A
begin "release A starts"
[ "$("$work/prog/zettelwerk" --version)" = "Zettelwerk 1.0 (Dateiversion 1.0.0.0)" ] ||
  [ -n "${ZW_E2E_ANY_START_VERSION:-}" ] || fail "release A says $("$work/prog/zettelwerk" --version)"
start_version=$("$work/prog/zettelwerk" --version)
printf "insert into tblnotizen (id, titel, bemerkung, zeitstempel) values (gen_id(gen_tblnotizen_id, 1), 'Vor dem Update', 'Text' || ascii_char(13) || ascii_char(10) || 'zweite Zeile', current_timestamp);\ncommit;\n" \
  >"$work/insert.sql"
sql "$work/insert.sql" >/dev/null
notes_before=$(notes_dump)
grep -q 'Vor dem Update' <<<"$notes_before" || fail "test note not stored: $notes_before"
(cd "$work/prog" && exec ./zettelwerk) >"$work/run.log" 2>&1 &
ppid=$!
icon=$(poll tray_icon_pos 30) || fail "no tray icon within 30 s"
echo "tray icon at $icon"
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
  program_alive || fail "the program ended"
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
for _ in $(seq 300); do
  program_alive || break
  sleep 0.1
done
program_alive && fail "release A still running 30 s after the restart question"
wait "$ppid" 2>/dev/null
ppid=""

begin "release B comes back"
# The updater starts the program again: find its process by the executable it runs.
for _ in $(seq 300); do
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$work/prog/zettelwerk" ] && ppid=${p#/proc/} && break 2
  done
  sleep 0.1
done
[ -n "$ppid" ] || fail "the program was not started again: $(tail -5 "$work/prog/WUPDATE.LOG")"
icon=$(poll tray_icon_pos 30) || fail "no tray icon of release B within 30 s"
shot release_b_in_tray
version_now=$("$work/prog/zettelwerk" --version)
echo "--version: $version_now"
[ "$version_now" = "Zettelwerk $NEXT_VERSION (Dateiversion $NEXT_VERSION.0)" ] || fail "--version says '$version_now'"
tray_menu_pick 4
wait_window "^Zettelwerk ${NEXT_VERSION//./\\.}\\.0\$" 20
sleep 0.5
shot about_release_b
tray_menu_pick 6
for _ in $(seq 300); do
  program_alive || break
  sleep 0.1
done
program_alive && fail "release B still running 30 s after Beenden"
ppid=""

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
