# Shell helpers for tests that run the real program as a normal account under a virtual X
# server with a tray host, driven with xdotool. Sourced by a test script that has set
# `work` (its scratch directory) and `ART` (where screenshots go); it calls
# user_session_cleanup from its EXIT trap.
# shellcheck shell=bash

xpid="" tpid="" ppid=""
step="set-up"
shot_no=0

fail() {
  echo "FAIL ($step): $*"
  [ -n "${DISPLAY:-}" ] && echo "windows shown: $(xdotool search --onlyvisible --classname zettelwerk \
    getwindowname %@ 2>/dev/null | paste -sd'|')"
  shot failure
  exit 1
}

begin() {
  step=$1
  echo "== $step"
}

shot() {
  [ -n "${DISPLAY:-}" ] && [ -n "${ART:-}" ] || return 0
  shot_no=$((shot_no + 1))
  timeout 30 import -window root "$ART/$(printf '%02d_%s.png' "$shot_no" "$1")" 2>/dev/null || true
}

user_session_cleanup() {
  [ -n "$ppid" ] && kill -KILL "$ppid" 2>/dev/null
  [ -n "$tpid" ] && kill "$tpid" 2>/dev/null
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
  wait 2>/dev/null
  ppid="" tpid="" xpid=""
}

# A normal account for the program: the current one when it is not root; as root the
# account $1 is created (once; it stays for later runs). Sets RUN_USER, RUN_UID and RUN_GID.
# Returns 1 when no account can be had.
ensure_normal_account() {
  local name=$1
  if [ "$(id -u)" -ne 0 ]; then
    RUN_USER=$(id -un) RUN_UID=$(id -u) RUN_GID=$(id -g)
    return 0
  fi
  command -v useradd >/dev/null && command -v setpriv >/dev/null || return 1
  if ! id "$name" >/dev/null 2>&1; then
    # Two runs at once: the loser of the race finds the account made by the other.
    useradd --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$name" \
      2>/dev/null || id "$name" >/dev/null 2>&1 || return 1
  fi
  RUN_USER=$name RUN_UID=$(id -u "$name") RUN_GID=$(id -g "$name")
}

# Runs a command as RUN_USER with exactly the environment given as NAME=value arguments
# before "--".
as_user() {
  local vars=()
  while [ "$1" != "--" ]; do
    vars+=("$1")
    shift
  done
  shift
  if [ "$(id -u)" -eq 0 ] && [ "$RUN_UID" -ne 0 ]; then
    setpriv --reuid="$RUN_UID" --regid="$RUN_GID" --init-groups env -i "${vars[@]}" "$@"
  else
    env -i "${vars[@]}" "$@"
  fi
}

# Polls $1 (a command printing something when satisfied) every 0.1 s for up to $2 s; 2 when
# the program has ended meanwhile.
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
}

wait_gone() {
  local i
  for ((i = 0; i < ${2:-30} * 10; i++)); do
    [ -z "$(visible_window "$1")" ] && return 0
    sleep 0.1
  done
  fail "window '$1' still open after ${2:-30} s"
}

focus_window() {
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || true
  sleep 0.2
}

# Xvfb on the first free display from $1, without reset when the last client leaves; its
# lock file must name our process (another run may race for the same number). Any local
# account may connect (no authorisation file). Sets DISPLAY and xpid.
own_display() {
  kill -0 "$xpid" 2>/dev/null || return 1
  [ "$(cat "/tmp/.X$1-lock" 2>/dev/null | tr -d ' \n')" = "$xpid" ] || return 1
  xdpyinfo -display ":$1" >/dev/null 2>&1
}

start_display() {
  local n
  for ((n = $1; n < $1 + 80; n++)); do
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

# Centre of the program's tray icon as "X Y": its small window inside the tray host's panel.
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

# Answers the first-start question with "Nein" from the keyboard (focus starts on "Hilfe";
# the tab order is Hilfe, Ja, Nein).
answer_first_start_no() {
  wait_window '^Autostart einrichten\?$' "${1:-30}"
  sleep 0.3
  shot first_start_question
  focus_window "$WIN"
  xdotool key Tab Tab space
  wait_gone '^Autostart einrichten\?$' 20
}

# Double-clicks the tray icon at $icon and types a note into "Notiz erfassen": title $1,
# text $2; saves it with the toolbar's first button.
type_note() {
  local w="" try
  for try in 1 2 3; do
    # A loaded machine may stretch the two clicks beyond the double-click time.
    # shellcheck disable=SC2086
    xdotool mousemove $icon click --repeat 2 --delay 60 1
    w=$(poll "visible_window '^Notiz erfassen$'" 10) && break
    kill -0 "$ppid" 2>/dev/null || fail "program ended"
    echo "double click $try did not open the window"
  done
  [ -n "$w" ] || fail "double click on the tray icon did not open \"Notiz erfassen\""
  sleep 0.3
  focus_window "$w"
  xdotool type --delay 15 -- "$1" # the title has the focus
  xdotool key Tab
  xdotool type --delay 15 -- "$2"
  sleep 0.3
  shot note_typed
  xdotool mousemove --window "$w" 25 16 click 1 # BtnSave
  wait_gone '^Notiz erfassen$' 30
}

# "Beenden" from the tray menu, chosen from the keyboard (Up from no item picks the last).
quit_from_tray_menu() {
  # shellcheck disable=SC2086
  xdotool mousemove $icon click 3
  sleep 0.8
  shot tray_menu
  xdotool key Up Return
}

# Waits up to $1 s for the program to end; sets RC to its exit code.
wait_program_end() {
  local i
  for ((i = 0; i < $1 * 10; i++)); do
    kill -0 "$ppid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$ppid" 2>/dev/null && fail "program still running $1 s after Beenden"
  wait "$ppid"
  RC=$?
  ppid=""
}
