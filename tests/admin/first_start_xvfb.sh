#!/usr/bin/env bash
# First start under a virtual X server: the question comes up about one second after the
# start, "Ja" writes the autostart entry, and the next start does not ask again.
# Usage: first_start_xvfb.sh <bin dir> [screenshot dir]
set -uo pipefail
BIN=${1:?bin dir}
SHOTS=${2:-}
# shellcheck source=../common/xvfb.sh
source "$(dirname "$0")/../common/xvfb.sh"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done

work=$(mktemp -d)
xpid=""
ppid=""
cleanup() {
  [ -n "$ppid" ] && kill -KILL "$ppid" 2>/dev/null
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/prog" "$work/config"
cp "$BIN/zettelwerk" "$BIN/notizen.gdb" "$work/prog/" || fail "program files missing"
[ -f "$BIN/zettelwerk.chm" ] && cp "$BIN/zettelwerk.chm" "$work/prog/"

xvfb_start "$work" 1024x768x24
xpid=$XVFB_PID
[ -n "$XVFB_DISPLAY" ] || fail "X server did not start: $(cat "$work/xvfb.log")"
export DISPLAY=$XVFB_DISPLAY XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb

question() { xdotool search --name '^Autostart einrichten\?$' 2>/dev/null | head -1; }
now_ms() { date +%s%3N; }

start_program() {
  "$work/prog/zettelwerk" >>"$work/run.log" 2>&1 &
  ppid=$!
  started=$(now_ms)
}

stop_program() {
  kill -KILL "$ppid" 2>/dev/null
  wait "$ppid" 2>/dev/null
  ppid=""
}

# --- first start: the question comes after about one second
start_program
sleep 0.4
[ -z "$(question)" ] || fail "question shown at once"
wid=""
for _ in $(seq 200); do
  wid=$(question)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no question within twenty seconds"
elapsed=$(( $(now_ms) - started ))
echo "question shown after ${elapsed} ms"
[ "$elapsed" -ge 900 ] || fail "question came too early (${elapsed} ms)"
sleep 0.3
[ -n "$SHOTS" ] && import -window root "$SHOTS/first_start_question.png" 2>/dev/null

# "Ja" at its place in the window.
xdotool mousemove --window "$wid" 50 159 click 1
for _ in $(seq 50); do
  [ -z "$(question)" ] && break
  sleep 0.1
done
[ -z "$(question)" ] || fail "question still open after Ja"
entry="$work/config/autostart/Zettelwerk.desktop"
[ -f "$entry" ] || fail "no autostart entry"
grep -qx "Exec=$work/prog/zettelwerk" "$entry" || fail "entry does not start the program: $(cat "$entry")"
stop_program

# --- second start: no question
start_program
sleep 3
[ -n "$SHOTS" ] && import -window root "$SHOTS/second_start.png" 2>/dev/null
[ -z "$(question)" ] || fail "question shown again"
kill -0 "$ppid" 2>/dev/null || fail "program ended: $(cat "$work/run.log")"
stop_program
echo "PASS: first-start question"
