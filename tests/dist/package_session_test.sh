#!/usr/bin/env bash
# The built Debian package as a user meets it: extracted into a scratch root, its program run
# by a normal account with a fresh home under a virtual X server with a tray host. The first
# start copies the delivered database into ~/.local/share/zettelwerk/; a note typed into
# "Notiz erfassen" (opened by a double click on the tray icon) is in that file after "Beenden".
# A backup made in "Verwaltung" lies beside it, and another account on the machine can read
# neither it nor the directory, which an earlier version had left open (0755).
# Every package named in Depends exists on this machine; qt6-wayland is recommended.
# Usage: package_session_test.sh <directory holding the one .deb> <artefact dir>
set -uo pipefail
OUT=${1:?package dir}
here=$(dirname "$0")
source "$here/../common/session_lib.sh"
source "$here/../common/user_session.sh"
e2e_require dpkg-deb
deb=$(ls "$OUT"/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: no package in $OUT"; exit 1; }
e2e_init "${2:?artefact dir}" 150
chmod 755 "$work" # for the normal account

begin "dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libfbclient2 firebird3.0-server-core fonts-liberation2 libc6 libqt6widgets6; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep"
done
IFS=',' read -ra alternatives <<<"$depends"
for alt in "${alternatives[@]}"; do
  found=""
  IFS='|' read -ra names <<<"$alt"
  for name in "${names[@]}"; do
    name=$(sed 's/(.*)//; s/[[:space:]]//g' <<<"$name")
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" && found=$name
  done
  [ -n "$found" ] || fail "no package of '$alt' is installed here"
done
# Natively on a Wayland desktop, through Xwayland without it.
[ "$(dpkg-deb -f "$deb" Recommends)" = qt6-wayland ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"

begin "scratch root"
root="$work/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"
exe="$root/usr/bin/zettelwerk"
[ -x "$exe" ] || fail "usr/bin/zettelwerk missing in the package"
shared_sum=$(md5sum <"$root/usr/share/zettelwerk/notizen.gdb")
ensure_normal_account zw-normaluser ||
  { echo "SKIP: no normal account could be created (useradd or setpriv missing)"; exit 77; }
home="$work/home" runtime="$work/runtime"
data="$home/.local/share/zettelwerk"
# The data directory as an earlier version (or mkdir -p) left it: open to every account.
mkdir -p "$home" "$runtime" && mkdir -p -m 0755 "$data" || fail "scratch directories"
[ "$(id -u)" -eq 0 ] && chown -R "$RUN_UID:$RUN_GID" "$home" "$runtime"
db="$data/notizen.gdb"

begin "X server and tray host"
e2e_display

begin "first start as $RUN_USER"
(cd "$home" && as_user HOME="$home" XDG_RUNTIME_DIR="$runtime" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin \
  LANG=C.UTF-8 QT_QPA_PLATFORM=xcb -- "$exe") >"$work/program.log" 2>&1 &
PROGRAM=$!
PPIDS+=("$PROGRAM")
e2e_tray_icon
poll "[ -s '$db' ] && echo copied" 30 >/dev/null ||
  fail "the first start did not copy the database to $db: $(ls -laR "$home" 2>&1 | head -30)"
[ "$(stat -c %u "$db")" = "$RUN_UID" ] || fail "$db does not belong to $RUN_USER"
answer_first_start_no 30

begin "a note through the window"
title="Aus dem Paket $$"
type_note "$title" "Zeile aus dem Installationstest"
shot note_saved

begin "a backup from Verwaltung"
tray_menu_pick 2
wait_window '^Verwaltung$' 20
V=$WIN
sleep 0.5
shot administration
click_in "$V" 94 79 # BtnBackup
answer_default '^Confirm$' 20 backup_question
answer_default '^Information$' 60 backup_done
backup="$data/notizenbackup.gbk"
[ -s "$backup" ] || fail "no backup in $data: $(ls -la "$data" 2>&1)"
ls -la "$data" >"$ART/data_directory.txt"
[ "$(stat -c %a "$data")" = 700 ] || fail "$data has mode $(stat -c %a "$data"), not 700"
[ "$(stat -c '%a %u' "$backup")" = "600 $RUN_UID" ] || fail "backup: mode and owner $(stat -c '%a %U' "$backup")"
# The restore question names the backup's date and size (see the screenshot); Escape is "No".
click_in "$V" 94 127 # BtnRestore
wait_window '^Confirm$' 20
sleep 0.3
shot restore_question
focus_window "$WIN"
xdotool key Escape
wait_gone '^Confirm$' 20

begin "another account reads the backup"
as_other_account ls "$home/.local/share" >/dev/null
case $? in
  77) echo "not root: no second account to try it with" ;;
  0)
    # The home is open (0755, as on Debian): only the program's modes keep the other one out.
    if said=$(as_other_account cat -- "$backup" 2>&1 >/dev/null); then
      fail "another account read $backup"
    fi
    echo "another account: $said"
    grep -q "Permission denied" <<<"$said" || fail "unexpected answer: $said"
    as_other_account ls "$data" >/dev/null 2>&1 && fail "another account lists $data"
    ;;
  *) fail "another account cannot even look into $home/.local/share: the test would prove nothing" ;;
esac

begin "Beenden"
quit_from_tray_menu "$PROGRAM"
shot after_quit

begin "the user's database"
expect_titles "$title" "the note typed" "$db"
expect_text "$db" "titel = '$title'" "Zeile aus dem Installationstest"
[ "$(md5sum <"$root/usr/share/zettelwerk/notizen.gdb")" = "$shared_sum" ] || fail "the delivered database changed"
! grep -q 'Hilfe-Datei nicht gefunden\|Kritischer Fehler' "$work/program.log" ||
  fail "the program reported: $(cat "$work/program.log")"
echo "PASS: package session (screenshots in $ART)"
