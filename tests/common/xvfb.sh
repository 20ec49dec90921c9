# A private virtual X server for shell tests. Sourced by a test script:
#
#   xvfb_start <dir> <WxHxD>   Xvfb on a display number it picks itself (so runs at the same
#                              time do not race for one), without reset when the last client
#                              leaves (a client arriving during a reset may be turned away).
#                              Sets XVFB_PID, and XVFB_DISPLAY (":n") once it accepts clients;
#                              returns 1 when it does not within 30 s (output in <dir>/xvfb.log).
# shellcheck shell=bash

xvfb_start() {
  local dir=$1 n i
  rm -f "$dir/displayfd"
  Xvfb -displayfd 3 -screen 0 "$2" -nolisten tcp -noreset 3>"$dir/displayfd" >>"$dir/xvfb.log" 2>&1 &
  XVFB_PID=$! XVFB_DISPLAY=""
  # The number is written, newline-terminated, when the server is ready.
  # shellcheck disable=SC2034 # for the caller
  for ((i = 0; i < 300; i++)); do
    read -r n 2>/dev/null <"$dir/displayfd" && [ -n "$n" ] && XVFB_DISPLAY=":$n" && return 0
    kill -0 "$XVFB_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  kill "$XVFB_PID" 2>/dev/null
  return 1
}
