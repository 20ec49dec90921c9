# What the session tests add for running the real program as a normal account: the account,
# commands run as it, and the first-start question, a new note and "Beenden" driven from the
# keyboard. Sourced after session_lib.sh.
# shellcheck shell=bash

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
  # shellcheck disable=SC2034 # for the caller
  RUN_USER=$name RUN_UID=$(id -u "$name") RUN_GID=$(id -g "$name")
}

# Runs a command as a second normal account (created once, as root) that is not RUN_USER:
# another person on the same machine. Returns 77 when there can be none (not root, or useradd
# or setpriv missing), else the command's exit code.
as_other_account() {
  local name=zw-otheruser
  [ "$(id -u)" -eq 0 ] && command -v useradd >/dev/null && command -v setpriv >/dev/null || return 77
  if ! id "$name" >/dev/null 2>&1; then
    useradd --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$name" \
      2>/dev/null || id "$name" >/dev/null 2>&1 || return 77
  fi
  setpriv --reuid="$(id -u "$name")" --regid="$(id -g "$name")" --init-groups env -i PATH=/usr/bin:/bin "$@"
}

# Sets USER_CMD to a command that runs a command as RUN_USER with exactly the environment given
# as NAME=value arguments before "--"; "${USER_CMD[@]}" & gives the command's own pid in $!.
user_command() {
  local vars=()
  while [ "$1" != "--" ]; do
    vars+=("$1")
    shift
  done
  shift
  USER_CMD=(env -i "${vars[@]}" "$@")
  if [ "$(id -u)" -eq 0 ] && [ "$RUN_UID" -ne 0 ]; then
    USER_CMD=(setpriv --reuid="$RUN_UID" --regid="$RUN_GID" --init-groups "${USER_CMD[@]}")
  fi
}

# Runs a command as RUN_USER with exactly the environment given before "--".
as_user() {
  user_command "$@"
  "${USER_CMD[@]}"
}

focus_window() {
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || true
  sleep 0.2
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

# Types a note into "Notiz erfassen", opened from the tray icon: title $1, text $2; saves it
# with the toolbar's first button.
type_note() {
  local w
  open_new_note
  w=$WIN
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

# "Beenden" from the tray menu, chosen from the keyboard (Up from no item picks the last);
# waits for the program $1 to end and checks its exit code.
quit_from_tray_menu() {
  # shellcheck disable=SC2086
  xdotool mousemove $ICON click 3
  sleep 0.8
  shot tray_menu
  xdotool key Up Return
  wait_ended "$1" 30 Beenden
  [ "$RC" -eq 0 ] || fail "program ended with exit code $RC"
}
