#!/usr/bin/env bash
# The tray of KDE Plasma and GNOME (D-Bus StatusNotifierItem): on a private session bus with a
# watcher of our own (sni_watcher.py) and an X server without any XEmbed tray host, the real
# program registers its item with the tooltip and the icon; Activate, what a click in the panel
# sends, opens "Notiz erfassen"; the exported menu (com.canonical.dbusmenu) holds the six
# entries of the tray menu; "Notiz suchen" and "Beenden" work through it, the program ends
# with exit code 0 and its item goes from the bus.
# Usage: sni_tray.sh <bin dir> <artefact dir>
set -uo pipefail
BIN=${1:?bin dir}
HERE=$(cd "$(dirname "$0")" && pwd)
# Debian's python3-gi belongs to this interpreter; another python3 on PATH may lack it.
PY=/usr/bin/python3
if [ -z "${ZW_SNI_PRIVATE_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session missing (package dbus-daemon)"; exit 77; }
  "$PY" -c 'from gi.repository import Gio' 2>/dev/null || { echo "SKIP: $PY lacks python3-gi"; exit 77; }
  # The whole test runs on a session bus of its own, which ends with it.
  exec env ZW_SNI_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@"
fi
source "$HERE/../common/session_lib.sh"
e2e_require
e2e_init "${2:?artefact dir}" 150
sni() { timeout 30 "$PY" "$HERE/sni_watcher.py" "$@"; }

copy_program "$BIN" "$work/prog"
seed_database "$work/prog/notizen.gdb" "'Erste Notiz', 'Text'"

begin "watcher on the private session bus"
echo "bus: $DBUS_SESSION_BUS_ADDRESS"
"$PY" "$HERE/sni_watcher.py" watch >"$work/watcher.log" 2>&1 &
TPIDS+=("$!")
poll "grep -x 'watcher ready' '$work/watcher.log'" 20 >/dev/null || fail "watcher did not start: $(cat "$work/watcher.log")"

begin "X server without a tray host"
e2e_display notray

begin "program registers its item"
e2e_program "$work/prog" program.log QT_LOGGING_RULES="qt.qpa.tray*=true"
item=$(sni item 30) || fail "no item registered: $(cat "$work/watcher.log")"
echo "item: $item"
props=$(sni props "$ART/sni_icon.png") || fail "properties not readable: $props"
echo "$props" | tee "$ART/sni_properties.json"
field() { "$PY" -c 'import json,sys; v=json.loads(sys.argv[1])[sys.argv[2]]; print(v if not isinstance(v, list) else " ".join(v))' "$props" "$1"; }
[ "$(field ToolTipTitle)" = "Zettelwerk - Das Notizwerkzeug (Ver. 1.0)" ] ||
  fail "tooltip is '$(field ToolTipTitle)'"
[ "$(field Status)" = "Active" ] || fail "status is '$(field Status)'"
[ "$(field Id)" = "Zettelwerk" ] || fail "id is '$(field Id)'"
[ -n "$(field IconSizes)" ] || fail "the item has no icon"
echo "icon sizes: $(field IconSizes); yellow pixels of the largest: $(field YellowPixels) of $(field OpaquePixels)"
[ "$(field YellowPixels)" -ge 100 ] || fail "the icon shows no yellow note sheet (see sni_icon.png)"

begin "Activate opens the new-note window"
sni activate || fail "Activate failed"
wait_window '^Notiz erfassen$' 20
sleep 0.3
shot activated

begin "the exported menu"
entries=$(sni menu) || fail "menu not readable: $entries"
printf '%s\n' "$entries" | tee "$ART/sni_menu.txt"
shape=$(printf '%s\n' "$entries" | awk -F'\t' '{print ($2 == "separator") ? "-" : $3}' | paste -sd'|')
[ "$shape" = "Notiz anlegen|Notiz suchen|Verwaltung|-|Hilfe zu Zettelwerk|Über Zettelwerk|-|Beenden" ] ||
  fail "menu entries are '$shape'"
printf '%s\n' "$entries" | awk -F'\t' '$2 != "separator" && $4 != "enabled" {bad = 1} END {exit bad}' ||
  fail "a menu entry is disabled"

begin "Notiz suchen through the menu"
sni click "Notiz suchen" || fail "clicking Notiz suchen failed"
wait_window '^Notizenliste$' 20
sleep 0.5
shot list_from_menu

begin "Beenden through the menu"
sni click "Beenden" || fail "clicking Beenden failed"
wait_ended "$PROGRAM" 30 Beenden
[ "$RC" -eq 0 ] || fail "program ended with exit code $RC"
poll "grep '^unregistered' '$work/watcher.log'" 10 >/dev/null || fail "the item stayed on the bus"
grep -q 'qt.qpa.tray' "$work/program.log" && sed -n 's/^/  program: /p' "$work/program.log" | grep -i 'tray' | head -5

echo "PASS: StatusNotifierItem tray (screenshots and icon in $ART)"
exit 0
