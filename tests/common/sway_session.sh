# A Wayland desktop for the session tests: sway without a screen, run by the account of
# user_session.sh (it refuses root), on a D-Bus session bus of its own, with swaybar as the
# StatusNotifierItem host and Xwayland. Sourced after session_lib.sh and user_session.sh.
# sway_start sets SWAY_ENV, the environment of a program in the session (returns 1 with the
# reason in SWAY_ERROR); sway_program starts <dir>/zettelwerk there as e2e_program does; windows
# and the focus come from sway's tree, keys from wtype; shot() takes the picture with grim.
# shellcheck shell=bash

# sway, swaybar, dbus-daemon and the keyboard of wtype: ended by the exit trap.
sway_start() {
  local dir="$work/sway" i
  mkdir -p "$dir/runtime" "$dir/home" && chmod 700 "$dir/runtime" || return 1
  [ "$(id -u)" -eq 0 ] && chown -R "$RUN_UID:$RUN_GID" "$dir"
  # Windows asked to the front by the program get the focus, as on GNOME and KDE (sway's own
  # default only marks them urgent); the session's variables are written once Xwayland is up.
  cat >"$dir/config" <<'EOF'
output HEADLESS-1 resolution 1024x768
xwayland force
focus_on_window_activation focus
exec printenv WAYLAND_DISPLAY DISPLAY >$XDG_RUNTIME_DIR/session.env
bar {
  position top
  tray_output *
}
EOF
  chmod 644 "$dir/config"
  local base=(HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" PATH=/usr/bin:/bin LANG=C.UTF-8
    DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/runtime/bus")
  user_command "${base[@]}" -- dbus-daemon --session --nofork --address="unix:path=$dir/runtime/bus"
  "${USER_CMD[@]}" >"$work/dbus.log" 2>&1 &
  TPIDS+=("$!")
  user_command "${base[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 -- \
    sway -c "$dir/config"
  "${USER_CMD[@]}" >"$work/sway.log" 2>&1 &
  TPIDS+=("$!")
  for ((i = 0; i < 200; i++)); do
    [ "$(wc -l 2>/dev/null <"$dir/runtime/session.env")" = 2 ] && break
    kill -0 "${TPIDS[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  if [ "$(wc -l 2>/dev/null <"$dir/runtime/session.env")" != 2 ]; then
    # shellcheck disable=SC2034 # for the caller
    SWAY_ERROR="sway did not come up: $(tail -5 "$work/sway.log")"
    return 1
  fi
  local wl x
  { read -r wl && read -r x; } <"$dir/runtime/session.env"
  SWAY_ENV=("${base[@]}" WAYLAND_DISPLAY="$wl" DISPLAY="$x" XDG_SESSION_TYPE=wayland
    SWAYSOCK="$(ls "$dir"/runtime/sway-ipc.*.sock)")
  # A keyboard that stays: without one the seat has none until wtype makes it, and a program
  # binds it only after the first keys have gone past.
  user_command "${SWAY_ENV[@]}" -- wtype -s 2000000000
  "${USER_CMD[@]}" &
  TPIDS+=("$!")
  poll "sway_run swaymsg -t get_seats | grep -q '\"capabilities\": 2' && echo kbd" 10 >/dev/null
}

sway_run() { as_user "${SWAY_ENV[@]}" -- "$@"; }

sway_program() {
  local dir=$1 log=$2
  shift 2
  split_env_args "$@"
  user_command "${SWAY_ENV[@]}" "${ENV_ARGS[@]}" -- "$dir/zettelwerk" "${PROG_ARGS[@]}"
  (cd "$dir" && exec "${USER_CMD[@]}") >"$work/$log" 2>&1 &
  PROGRAM=$!
  PPIDS+=("$PROGRAM")
}

# One line per window: focused floating x y width height name.
sway_windows() {
  sway_run swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(n, floating=False):
    if n.get("type") in ("con", "floating_con") and n.get("name") is not None and not n.get("nodes"):
        r = n["rect"]
        print(int(n["focused"]), int(floating), r["x"], r["y"], r["width"], r["height"], n["name"])
    for c in n.get("nodes", []):
        walk(c, floating)
    for c in n.get("floating_nodes", []):
        walk(c, True)
walk(json.load(sys.stdin))'
}

focused_window() { sway_windows | grep '^1 ' | cut -d' ' -f7-; }

# wait_focused <name regex> <s>
wait_focused() {
  poll "focused_window | grep -E '$1'" "${2:-20}" >/dev/null ||
    fail "no window '$1' with the keyboard focus within ${2:-20} s (focus: '$(focused_window)')"
}

keys() {
  local args=() k
  for k in "$@"; do args+=(-k "$k"); done
  sway_run wtype -d 40 "${args[@]}"
}
type_keys() { sway_run wtype -d 25 -- "$1"; }

sni_items() {
  sway_run gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems |
    grep -oE ':[0-9.]+/StatusNotifierItem'
}

# sni_call <method>: what swaybar sends for a click on the item (Activate: left button,
# ContextMenu: right one).
sni_call() {
  local item
  item=$(sni_items | head -1)
  [ -n "$item" ] || fail "no item in the bar"
  sway_run gdbus call --session --dest "${item%%/*}" --object-path "/${item#*/}" \
    --method "org.kde.StatusNotifierItem.$1" 1010 10 >/dev/null
}

# Sets SHOT to the picture's path.
shot() {
  shot_no=$((shot_no + 1))
  SHOT="$ART/$(printf '%02d_%s.png' "$shot_no" "$1")"
  sway_run grim "$work/sway/shot.png" 2>/dev/null && cp "$work/sway/shot.png" "$SHOT" ||
    echo "warning: screenshot $SHOT failed"
}

e2e_describe() { echo "windows (focused floating x y w h name):"; sway_windows | sed 's/^/  /'; }
