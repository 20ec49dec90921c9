#!/usr/bin/env bash
# The engine's default lock directory /tmp/firebird belongs to another account (mode 0770):
# the real program, run by a normal account under a virtual X server with a tray host,
# starts, saves a note typed into "Notiz erfassen" and ends with code 0 after "Beenden".
# Its lock and temporary files lie in the account's own runtime directory, and nothing of
# it is left in /tmp/firebird. Run as root, the test makes /tmp/firebird foreign if it is
# not yet, creates the account, and puts /tmp/firebird back as it was.
# Usage: foreign_lock_test.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
here=$(dirname "$0")
source "$here/../common/session_lib.sh"
source "$here/../common/user_session.sh"
e2e_require
e2e_init "${2:?artefact dir}" 150
chmod 755 "$work" # for the normal account
lockdir=/tmp/firebird
restore_lock=""
# Other runs use the engine meanwhile: only what this test changed is put back.
e2e_on_exit() { [ -z "$restore_lock" ] || eval "$restore_lock"; }

# ------------------------------------------------------------------ the foreign directory
begin "foreign /tmp/firebird and a normal account"
if [ "$(id -u)" -ne 0 ]; then
  # Without root the directory can only be found foreign, not made so.
  if [ ! -d "$lockdir" ] || [ -O "$lockdir" ] || { [ -r "$lockdir" ] && [ -w "$lockdir" ] && [ -x "$lockdir" ]; }; then
    echo "SKIP: not root, and $lockdir is not a directory of another account that this one cannot use"
    exit 77
  fi
fi
ensure_normal_account zw-normaluser ||
  { echo "SKIP: no normal account could be created (useradd or setpriv missing)"; exit 77; }
echo "account $RUN_USER ($RUN_UID)"
if [ "$(id -u)" -eq 0 ]; then
  if [ ! -e "$lockdir" ]; then
    mkdir -m 0770 "$lockdir" || fail "cannot create $lockdir"
    restore_lock="rmdir '$lockdir' 2>/dev/null"
  else
    [ -d "$lockdir" ] && [ ! -L "$lockdir" ] || fail "$lockdir is no directory"
    owner=$(stat -c %u "$lockdir") mode=$(stat -c %a "$lockdir")
    # Foreign enough already when it is someone else's and closed to others.
    if [ "$owner" = "$RUN_UID" ] || [ $((8#$mode & 8#007)) -ne 0 ]; then
      restore_lock="chown '$(stat -c %u:%g "$lockdir")' '$lockdir'; chmod '$mode' '$lockdir'"
      chown root:root "$lockdir" && chmod 0770 "$lockdir" || fail "cannot make $lockdir foreign"
    fi
  fi
fi
echo "$lockdir: $(stat -c '%U:%G %a' "$lockdir")"
before=$(ls -lAn --time-style=+%s "$lockdir" 2>/dev/null | grep -c " $RUN_UID ")

# ------------------------------------------------------------------ the program's directory
home="$work/home" runtime="$work/runtime" prog="$work/prog"
mkdir -p "$home" "$runtime" || fail "scratch directories"
copy_program "$BIN" "$prog"
[ "$(id -u)" -eq 0 ] && chown -R "$RUN_UID:$RUN_GID" "$home" "$runtime" "$prog"

# ------------------------------------------------------------------ the session
begin "X server and tray host"
e2e_display

begin "program start as $RUN_USER"
(cd "$prog" && as_user HOME="$home" XDG_RUNTIME_DIR="$runtime" \
  XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" DISPLAY="$DISPLAY" \
  PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=xcb -- ./zettelwerk) >"$work/program.log" 2>&1 &
PROGRAM=$!
PPIDS+=("$PROGRAM")
e2e_tray_icon
answer_first_start_no 30

begin "a note through the window"
title="Fremdes Sperrverzeichnis $$"
type_note "$title" "gespeichert trotz fremdem /tmp/firebird"
shot note_saved
ls "$runtime/zettelwerk/lock" 2>/dev/null | grep -q '^fb_lock_' ||
  fail "no lock file in $runtime/zettelwerk/lock: $(ls -la "$runtime/zettelwerk/lock" 2>&1)"

begin "Beenden"
quit_from_tray_menu "$PROGRAM"
! grep -q 'Kritischer Fehler' "$work/program.log" || fail "the program reported: $(cat "$work/program.log")"

begin "database and lock directory"
expect_titles "$title" "the note typed" "$prog/notizen.gdb"
after=$(ls -lAn --time-style=+%s "$lockdir" 2>/dev/null | grep -c " $RUN_UID ")
[ "$after" = "$before" ] || fail "the program left files in $lockdir"
echo "PASS: foreign lock directory"
