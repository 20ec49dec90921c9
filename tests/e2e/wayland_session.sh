#!/usr/bin/env bash
# The real program on a Wayland desktop (sway, swaybar as the tray), natively and through
# Xwayland, from a fresh database: icon in the bar, the first-start question over the window
# with the keyboard focus and in front while a later start asks for a window, --neue-notiz from
# a second process takes the focus, a note typed and saved is in the database, the bar's menu.
# Usage: wayland_session.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
here=$(dirname "$0")
source "$here/../common/session_lib.sh"
source "$here/../common/user_session.sh"
source "$here/../common/sway_session.sh"
e2e_require sway swaybar swaymsg grim wtype Xwayland dbus-daemon gdbus convert
dpkg-query -W -f='${Status}' qt6-wayland 2>/dev/null | grep -q "install ok installed" ||
  { echo "SKIP: Qt's Wayland plugin (package qt6-wayland) is not installed"; exit 77; }
ensure_normal_account zw-normaluser ||
  { echo "SKIP: sway refuses root, and no normal account could be created (useradd or setpriv missing)"; exit 77; }
e2e_init "${2:?artefact dir}" 150
chmod 755 "$work" # for the normal account

begin "sway as $RUN_USER"
sway_start || { echo "SKIP: $SWAY_ERROR"; exit 77; }

# Yellow pixels (the note sheet of the icon) at the right end of the bar in a screenshot.
icon_in_bar() {
  convert "$1" -crop 48x22+976+0 +repage -fx '(r > 0.8 && g > 0.7 && b < 0.5) ? 1 : 0' \
    -format '%[fx:round(mean * w * h)]' info: 2>/dev/null
}

# round <Qt platform>: one program, from its first start to "Beenden".
round() {
  local qpa=$1 prog="$work/$1" title="Notiz über $1"
  copy_program "$BIN" "$prog"
  [ "$(id -u)" -eq 0 ] && chown -R "$RUN_UID:$RUN_GID" "$prog"
  ask() {
    user_command "${SWAY_ENV[@]}" QT_QPA_PLATFORM="$qpa" -- "$prog/zettelwerk" "$@"
    timeout 20 "${USER_CMD[@]}" >>"$work/ask.log" 2>&1
  }

  begin "$qpa: --neue-notiz starts the program"
  sway_program "$prog" "program_$qpa.log" QT_QPA_PLATFORM="$qpa" -- --neue-notiz
  wait_focused '^Notiz erfassen$' 30
  poll sni_items 20 >/dev/null || fail "the program's item is not in the bar"
  sleep 0.5
  shot "${qpa}_started"
  [ "$(icon_in_bar "$SHOT")" -ge 40 ] || fail "no icon at the end of the bar (see $SHOT)"

  begin "$qpa: the first-start question over it"
  wait_focused '^Autostart einrichten\?$' 20
  sway_windows | grep -qx '1 1 .* Autostart einrichten?' ||
    fail "the question does not float above the window: $(sway_windows | paste -sd'|')"

  begin "$qpa: a later start asks for the list while the question waits"
  ask --suchen || fail "--suchen failed: $(cat "$work/ask.log")"
  sleep 1
  shot "${qpa}_question_after_request"
  [ "$(focused_window)" = "Autostart einrichten?" ] || fail "the question lost the focus to '$(focused_window)'"
  sway_windows | grep -q ' Notizenliste$' && fail "the list opened while the question waits"

  begin "$qpa: the answer from the keyboard, then the list"
  keys Tab Tab space # focus starts on "Hilfe": Hilfe, Ja, Nein
  poll "sway_windows | grep ' Notizenliste$'" 20 >/dev/null || fail "the list did not open after the answer"
  sway_windows | grep -q 'Autostart' && fail "the question is still shown"
  # Which of the two windows the compositor focuses when the question goes is its own choice.
  ask --suchen || fail "--suchen failed: $(cat "$work/ask.log")"
  wait_focused '^Notizenliste$' 20

  begin "$qpa: --neue-notiz from a second process"
  ask --neue-notiz || fail "--neue-notiz failed: $(cat "$work/ask.log")"
  wait_focused '^Notiz erfassen$' 20

  begin "$qpa: a note typed and saved"
  type_keys "$title"
  keys Tab
  type_keys "Getippt unter $qpa"
  shot "${qpa}_typed"
  sway_run wtype -M ctrl -k s -m ctrl
  poll "sway_windows | grep -q ' Notiz erfassen$' || echo gone" 20 >/dev/null || fail "the note window stayed open"

  begin "$qpa: the bar's menu"
  sni_call ContextMenu
  sleep 1
  shot "${qpa}_menu"
  keys Up Return # from no item, Up picks the last: "Beenden"
  wait_ended "$PROGRAM" 30 "Beenden from the bar's menu"
  [ "$RC" -eq 0 ] || fail "program ended with exit code $RC"
  poll "[ -z \"\$(sni_items)\" ] && echo gone" 10 >/dev/null || fail "the item stayed in the bar"
  expect_titles "$title" "the note typed" "$prog/notizen.gdb"
  expect_text "$prog/notizen.gdb" "titel = '$title'" "Getippt unter $qpa"
}

round wayland
round xcb
echo "PASS: Wayland session, native and through Xwayland (screenshots in $ART)"
exit 0
