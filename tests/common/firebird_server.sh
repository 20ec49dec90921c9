# A private Firebird server for shell tests: Debian's /usr/sbin/firebird as a child process on a
# free loopback port, with its own root (the installed files linked, its own firebird.conf, a
# fresh security database with the account sysdba/lanternix, lock and temporary directories).
# Sourced by a test script; the script calls fb_server_stop from its exit trap.
#
#   fb_server_available            0 when a server can run here (else a reason on stdout)
#   fb_server_start <dir>          sets FB_ROOT=<dir>/firebird, FB_PORT, FB_PID
#   fb_server_database <name> <schema.sql>
#                                  creates $FB_ROOT/data/<name>.gdb; sets FB_DATABASE to its
#                                  connection text 127.0.0.1/<port>:<file>
#   fb_server_stop | fb_server_kill | fb_server_restart
# shellcheck shell=bash

FB_PID="" FB_ROOT="" FB_PORT=""

fb_installed_root() {
  local d
  for d in /usr/lib/x86_64-linux-gnu/firebird/3.0 /usr/lib/aarch64-linux-gnu/firebird/3.0 /usr/lib/firebird/3.0; do
    [ -e "$d/firebird.msg" ] && [ -d "$d/plugins" ] && { echo "$d"; return 0; }
  done
  return 1
}

fb_server_available() {
  [ -x /usr/sbin/firebird ] || { echo "/usr/sbin/firebird is missing (package firebird3.0-server)"; return 1; }
  fb_installed_root >/dev/null || { echo "no installed Firebird 3 root directory"; return 1; }
  command -v isql-fb >/dev/null || { echo "isql-fb is missing"; return 1; }
  command -v python3 >/dev/null || { echo "python3 is missing"; return 1; }
}

fb_free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

fb_listening() { (exec 3<>"/dev/tcp/127.0.0.1/$FB_PORT") 2>/dev/null; }

fb_server_run() {
  local i
  (FIREBIRD=$FB_ROOT FIREBIRD_LOCK=$FB_ROOT/lock FIREBIRD_TMP=$FB_ROOT/tmp exec /usr/sbin/firebird) \
    >>"$FB_ROOT/server.log" 2>&1 &
  FB_PID=$!
  for ((i = 0; i < 100; i++)); do
    fb_listening && return 0
    kill -0 "$FB_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$FB_PID" 2>/dev/null
  wait "$FB_PID" 2>/dev/null
  FB_PID=""
  return 1
}

fb_server_start() {
  local installed f attempt
  installed=$(fb_installed_root) || return 1
  FB_ROOT=${1:?directory}/firebird
  mkdir -p "$FB_ROOT/lock" "$FB_ROOT/tmp" "$FB_ROOT/data" || return 1
  for f in "$installed"/*; do
    case $(basename "$f") in firebird.conf | databases.conf) ;; *) ln -sf "$f" "$FB_ROOT/" ;; esac
  done
  : >"$FB_ROOT/databases.conf"
  for attempt in 1 2 3 4 5; do
    FB_PORT=$(fb_free_port) || return 1
    printf 'RemoteServicePort = %s\nRemoteBindAddress = 127.0.0.1\nSecurityDatabase = %s/security3.fdb\nUdfAccess = None\n' \
      "$FB_PORT" "$FB_ROOT" >"$FB_ROOT/firebird.conf"
    if [ ! -e "$FB_ROOT/security3.fdb" ]; then
      printf "create database '%s/security3.fdb';\ncreate user sysdba password 'lanternix';\ncommit;\n" "$FB_ROOT" |
        FIREBIRD=$FB_ROOT FIREBIRD_LOCK=$FB_ROOT/lock FIREBIRD_TMP=$FB_ROOT/tmp isql-fb -q -user sysdba \
          >>"$FB_ROOT/server.log" 2>&1 || return 1
    fi
    fb_server_run && return 0
  done
  return 1
}

fb_server_database() {
  local name=$1 schema=$2 file
  file=$FB_ROOT/data/$name.gdb
  FB_DATABASE="127.0.0.1/$FB_PORT:$file"
  { printf "SET SQL DIALECT 3;\nCREATE DATABASE '%s' USER 'sysdba' PASSWORD 'lanternix' PAGE_SIZE 4096 DEFAULT CHARACTER SET UTF8;\n" \
      "$FB_DATABASE"; cat "$schema"; } | isql-fb -q -bail >>"$FB_ROOT/server.log" 2>&1 && [ -e "$file" ]
}

# Ends the server: SIGTERM, SIGKILL when it has not ended within 3 s.
fb_server_stop() {
  local i
  [ -n "$FB_PID" ] || return 0
  kill -TERM "$FB_PID" 2>/dev/null
  for ((i = 0; i < 30; i++)); do
    kill -0 "$FB_PID" 2>/dev/null || break
    sleep 0.1
  done
  fb_server_kill
}

fb_server_kill() {
  [ -n "$FB_PID" ] || return 0
  kill -KILL "$FB_PID" 2>/dev/null
  wait "$FB_PID" 2>/dev/null
  FB_PID=""
}

# The same server again on its port (which may linger a moment).
fb_server_restart() {
  local i
  fb_server_stop
  for ((i = 0; i < 20; i++)); do
    fb_server_run && return 0
    sleep 0.25
  done
  return 1
}
