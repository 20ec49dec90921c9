# Shared pieces of the tests that drive the real program like a user: a virtual X server with
# a tray host, the program's windows found by their captions, clicks and typing with xdotool,
# screenshots, and the database read with isql-fb afterwards. Sourced by the test scripts:
#
#   source "$(dirname "$0")/../common/session_lib.sh"
#   e2e_require [tool...]                 skips (77) when a tool is missing
#   e2e_init <artefact dir> <timeout s>   work directory, traps, watchdog
#   e2e_display [notray]                  a fresh X server and tray host (none with notray);
#                                         sets DISPLAY
#   e2e_program <dir> <log> [env...] [-- args...]
#                                         starts <dir>/zettelwerk; sets PROGRAM (its pid)
#   e2e_tray_icon                         waits for the program's icon; sets ICON ("x y")
#
# Everything started is ended by the exit trap, whatever way the test ends: the programs in
# PPIDS, helpers (tray hosts, servers) in TPIDS, X servers in XPIDS. A script that has more to
# put back defines e2e_on_exit, called with the exit code once these have ended; one that can tell
# more about a failure than the X windows defines e2e_describe.
# shellcheck shell=bash

source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

E2E_TOOLS="Xvfb xdotool trayer import xwininfo xprop isql-fb"
step="start-up"
shot_no=0
XPIDS=() TPIDS=() PPIDS=()
wpid=""

e2e_require() {
  local tool
  for tool in $E2E_TOOLS "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
  done
}

e2e_cleanup() {
  local rc=$? p log ours=()
  trap - EXIT TERM INT
  [ -n "$wpid" ] && kill "$wpid" 2>/dev/null && ours+=("$wpid")
  for p in "${PPIDS[@]}"; do kill -KILL "$p" 2>/dev/null; done
  for p in "${TPIDS[@]}" "${XPIDS[@]}"; do kill "$p" 2>/dev/null; done
  # Only what is ours: a server the script ends itself must not be waited for here.
  ours+=("${PPIDS[@]}" "${TPIDS[@]}" "${XPIDS[@]}")
  [ ${#ours[@]} -eq 0 ] || wait "${ours[@]}" 2>/dev/null
  for log in "$work"/*.log; do
    [ -f "$log" ] || continue
    cp "$log" "$ART/" 2>/dev/null
    if [ "$rc" -ne 0 ] && [[ $(basename "$log") == program* ]]; then
      echo "--- $(basename "$log")"
      cat "$log"
    fi
  done
  declare -F e2e_on_exit >/dev/null && e2e_on_exit "$rc"
  rm -rf "$work"
  exit "$rc"
}

e2e_init() {
  ART=${1:?artefact dir}
  GLOBAL_TIMEOUT=${ZW_E2E_TIMEOUT:-${2:-200}}
  unset DISPLAY ZW_AUTO_ANSWER ZW_QUIT_WHEN_IDLE SESSION_MANAGER
  work=$(mktemp -d "${TMPDIR:-/tmp}/zw-e2e.XXXXXX")
  mkdir -p "$ART" "$work/config" "$work/data" "$work/runtime" "$work/cache" || exit 1
  chmod 700 "$work/runtime"
  rm -f "$ART"/*.png
  export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" \
    XDG_CACHE_HOME="$work/cache" QT_QPA_PLATFORM=xcb
  trap e2e_cleanup EXIT
  trap 'echo "FAIL: global timeout of ${GLOBAL_TIMEOUT} s reached during: $step"; shot failure; exit 1' TERM
  trap 'exit 130' INT
  # Watchdog: ends the run through the TERM trap; its own sleep goes with it.
  (
    trap 'kill "$s" 2>/dev/null; exit 0' TERM
    sleep "$GLOBAL_TIMEOUT" &
    s=$!
    wait "$s" && kill -TERM $$ 2>/dev/null
  ) >/dev/null 2>&1 &
  wpid=$!
}

fail() {
  echo "FAIL ($step): $*"
  if [ -n "${DISPLAY:-}" ]; then
    echo "windows shown on $DISPLAY: $(xdotool search --onlyvisible --classname zettelwerk getwindowname %@ \
      2>/dev/null | paste -sd'|')"
  fi
  declare -F e2e_describe >/dev/null && e2e_describe
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

# True while every started program still runs.
programs_alive() {
  local p
  for p in "${PPIDS[@]}"; do kill -0 "$p" 2>/dev/null || return 1; done
  return 0
}

# Polls $1 (a command printing a non-empty result when satisfied) every 0.1 s for up to $2 s;
# returns 2 when a program ended meanwhile.
poll() {
  local cmd=$1 secs=$2 out i
  for ((i = 0; i < secs * 10; i++)); do
    out=$(eval "$cmd" 2>/dev/null)
    if [ -n "$out" ]; then
      echo "$out"
      return 0
    fi
    programs_alive || return 2
    sleep 0.1
  done
  return 1
}

visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }

# Sets WIN to the first visible window whose name matches $1, waiting up to $2 s.
wait_window() {
  local rc p ended=""
  WIN=$(poll "visible_window '$1'" "${2:-30}")
  rc=$?
  if [ "$rc" -eq 2 ]; then
    for p in "${PPIDS[@]}"; do
      kill -0 "$p" 2>/dev/null && continue
      wait "$p" 2>/dev/null
      ended=" (exit status $?)"
      break
    done
    fail "program ended$ended while waiting for window '$1'"
  fi
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

# Our own X server (any local account may connect), with a tray host unless $1 is "notray".
# Sets DISPLAY.
e2e_display() {
  local attempt tpid i tray=${1:-tray}
  for attempt in 1 2 3; do
    xvfb_start "$work" 1024x768x24
    XPIDS+=("$XVFB_PID")
    if [ -n "$XVFB_DISPLAY" ] && [ "$tray" = notray ]; then
      export DISPLAY=$XVFB_DISPLAY
      echo "display $DISPLAY without tray host"
      return 0
    fi
    if [ -n "$XVFB_DISPLAY" ]; then
      export DISPLAY=$XVFB_DISPLAY
      trayer --edge top --align right --widthtype request --height 32 --transparent false \
        >>"$work/trayer.log" 2>&1 &
      tpid=$!
      TPIDS+=("$tpid")
      for ((i = 0; i < 200; i++)); do
        [ -n "$(xdotool search --onlyvisible --name '^panel$' 2>/dev/null)" ] && {
          echo "display $DISPLAY with tray host"
          return 0
        }
        kill -0 "$tpid" 2>/dev/null || break
        sleep 0.1
      done
      echo "tray host did not come up on $DISPLAY (attempt $attempt):"
      sed 's/^/  trayer: /' "$work/trayer.log"
      kill "$tpid" 2>/dev/null
    fi
    kill "$XVFB_PID" 2>/dev/null
    unset DISPLAY
  done
  fail "no X server with a tray host could be started: $(cat "$work/xvfb.log")"
}

# split_env_args [VAR=value...] [-- arguments...]: the settings into ENV_ARGS, the program's
# arguments into PROG_ARGS.
split_env_args() {
  ENV_ARGS=() PROG_ARGS=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    ENV_ARGS+=("$1")
    shift
  done
  [ "${1:-}" = "--" ] && shift
  PROG_ARGS=("$@")
}

# e2e_program <dir> <log name> [VAR=value...] [-- arguments...]: the program in <dir> on the
# current display.
e2e_program() {
  local dir=$1 log=$2
  shift 2
  split_env_args "$@"
  (cd "$dir" && exec env "${ENV_ARGS[@]}" ./zettelwerk "${PROG_ARGS[@]}") >"$work/$log" 2>&1 &
  PROGRAM=$!
  PPIDS+=("$PROGRAM")
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

e2e_tray_icon() {
  ICON=$(poll tray_icon_pos "${1:-30}") || fail "no tray icon within ${1:-30} s"
  echo "tray icon at $ICON"
}

# Double-clicks the tray icon until "Notiz erfassen" opens (a loaded machine may stretch the two
# clicks beyond the double-click time); sets WIN to it.
open_new_note() {
  local try
  for try in 1 2 3; do
    # shellcheck disable=SC2086
    xdotool mousemove $ICON click --repeat 2 --delay 60 1
    WIN=$(poll "visible_window '^Notiz erfassen\$'" 10) && return 0
    programs_alive || fail "program ended"
    echo "double click $try did not open the window"
  done
  fail "double click on the tray icon did not open \"Notiz erfassen\" on $DISPLAY"
}

# The tray menu's popup window id: a visible window of the program named "Zettelwerk"
# with a menu's size.
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

# Picks an entry of the tray menu by its row (0 Notiz anlegen, 1 Notiz suchen, 2 Verwaltung,
# 4 Über Zettelwerk, 6 Beenden); rows are 22 pixels high, the separators 5.
tray_menu_pick() {
  local row=$1 y m
  case $row in
    0) y=12 ;; 1) y=34 ;; 2) y=56 ;; 4) y=105 ;; 6) y=132 ;; *) fail "unknown menu row $row" ;;
  esac
  # shellcheck disable=SC2086
  xdotool mousemove $ICON click 3
  m=$(poll tray_menu 20) || fail "tray menu did not open"
  sleep 0.3
  shot "tray_menu"
  click_in "$m" 60 "$y"
}

# wait_ended <pid> <s> <after what> [<name>]: waits up to <s> s for a program to end, then no
# longer counts it among the running ones. Sets RC to its exit code (127 for a program that
# another process started).
wait_ended() {
  local pid=$1 i p left=()
  for ((i = 0; i < $2 * 10; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "${4:-program} still running $2 s after $3"
  wait "$pid" 2>/dev/null
  RC=$?
  for p in "${PPIDS[@]}"; do [ "$p" = "$pid" ] || left+=("$p"); done
  PPIDS=("${left[@]}")
}

# "Beenden" from the tray menu; waits for the program to end and checks its exit code.
quit_program() {
  tray_menu_pick 6
  wait_ended "$1" 30 Beenden
  [ "$RC" -eq 0 ] || fail "program ended with exit code $RC"
}

# The text of the focused field, through the clipboard, as a user would copy it.
copied_field_text() {
  xdotool key ctrl+a ctrl+c
  sleep 0.3
  timeout 5 xclip -selection clipboard -o 2>/dev/null
}

# keys <window> <key>...: the keys typed into the window once it has the focus.
keys() {
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null
  shift
  xdotool key --delay 60 "$@"
}

# field_text <window> <x> <y>: the text of the field there, after clicking it, through the
# clipboard. A copy of an empty field would leave the clipboard as it was: a mark typed at the
# end and removed again tells them apart.
field_text() {
  local text
  click_in "$1" "$2" "$3"
  xdotool key End
  type_text "#"
  text=$(copied_field_text)
  xdotool key End BackSpace
  echo "${text%#}"
}

# sql <script> <database>. With the program's own engine configuration and lock files once it
# has run, so the database can be read while the program has it open.
sql() {
  local root="$work/cache/zettelwerk/firebird" state="$work/runtime/zettelwerk"
  if [ -f "$root/firebird.conf" ]; then
    FIREBIRD=$root FIREBIRD_LOCK=$state/lock FIREBIRD_TMP=$state/tmp \
      timeout 60 isql-fb -q -user sysdba -password lanternix "$2" -i "$1" 2>&1
  else
    timeout 60 isql-fb -q -user sysdba -password lanternix "$2" -i "$1" 2>&1
  fi
}

# sql_value <database> <select of one value>: the value, as isql-fb prints it in list mode.
sql_value() {
  printf 'set list on;\n%s;\n' "$2" >"$work/value.sql"
  sql "$work/value.sql" "$1" | sed -n 's/^[A-Z_0-9]*  *//p' | head -1
}

# Titles of the notes in id order, joined by "|".
db_titles() {
  printf 'set list on;\nselect titel from tblnotizen order by id;\n' >"$work/titles.sql"
  sql "$work/titles.sql" "$1" >"$work/titles.out"
  sed -n 's/^TITEL  *//p' "$work/titles.out" | paste -sd'|'
}

# expect_titles <titles> <what> <database>
expect_titles() {
  local got
  got=$(db_titles "$3")
  echo "committed titles: $got"
  [ "$got" = "$1" ] || fail "database holds titles '$got', expected '$1' ($2); isql-fb: $(cat "$work/titles.out")"
}

# A copy of the program with its database and help file in <dir>.
copy_program() {
  local bin=$1 dir=$2 f
  mkdir -p "$dir"
  for f in zettelwerk notizen.gdb zettelwerk.chm; do
    cp "$bin/$f" "$dir/" || fail "$bin/$f missing"
  done
  chmod u+w "$dir/notizen.gdb"
}

# Notes and the answered first-start question put into a database before the program runs.
seed_database() {
  local db=$1
  shift
  {
    echo "insert into tblinterna (firststart) values (0);"
    local note
    for note in "$@"; do
      echo "insert into tblnotizen (id, titel, bemerkung, zeitstempel) values (gen_id(GEN_TBLNOTIZEN_ID, 1), $note, 'NOW');"
    done
    echo "commit;"
  } >"$work/seed.sql"
  sql "$work/seed.sql" "$db" | grep -v '^$' && fail "seeding the database failed"
  return 0
}

# expect_clean_database <database>: gfix finds nothing to complain about.
expect_clean_database() {
  local out
  out=$(timeout 120 gfix -v -full -user sysdba -password lanternix "$1" 2>&1)
  [ -z "$out" ] || fail "gfix finds damage: $out"
}

# expect_text <database> <where> <text>: the text of the note the condition picks.
expect_text() {
  local got
  got=$(sql_value "$1" "select cast(bemerkung as varchar(2000)) from tblnotizen where $2")
  echo "text where $2: $got"
  [ "$got" = "$3" ] || fail "the note where $2 holds '$got', not '$3'"
}

# repack_package <deb> <out deb> <version> [<path in the package>=<file>...]: the package under
# another version, with the files given put in, as a later release (or a forged one) would be.
repack_package() {
  local deb=$1 out=$2 version=$3 dir pair
  shift 3
  dir=$(mktemp -d "$work/repack.XXXXXX")
  dpkg-deb -R "$deb" "$dir/root" || fail "dpkg-deb -R $deb"
  sed -i "s/^Version: .*/Version: $version/" "$dir/root/DEBIAN/control"
  for pair in "$@"; do
    cp "${pair#*=}" "$dir/root/${pair%%=*}" || fail "repack: ${pair#*=}"
  done
  (cd "$dir/root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum \
    >DEBIAN/md5sums) || fail "repack: md5sums"
  dpkg-deb --root-owner-group -b "$dir/root" "$out" >/dev/null || fail "dpkg-deb -b $out"
  rm -rf "$dir"
}
