#!/usr/bin/env bash
# The README's commands that move the notes of an installed program from the embedded file to a
# Firebird server, run as they are written, with their first three lines set to a server that
# this test starts. Afterwards the installed program starts on the server's database (and fails
# with the server's message while the server is stopped), and the notes are there.
# Usage: readme_migration_test.sh <bin dir> <source dir>
set -uo pipefail
BIN=${1:?bin dir}
SRC=${2:?source dir}
here=$(dirname "$0")
source "$here/../common/firebird_server.sh"
why=$(fb_server_available) || { echo "SKIP: $why"; exit 77; }
command -v gbak >/dev/null || { echo "SKIP: gbak missing"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zw-migration.XXXXXX")
trap 'rc=$?; fb_server_stop; rm -rf "$work"; exit $rc' EXIT
fail() { echo "FAIL: $*"; exit 1; }

fb_server_start "$work" || fail "the Firebird server did not start: $(cat "$work/firebird/server.log" 2>/dev/null)"
target=$FB_ROOT/data/notizen.gdb

# An installed program (prefix/bin and prefix/share/zettelwerk) and a home of its own.
prefix=$work/prefix home=$work/home
mkdir -p "$prefix/bin" "$prefix/share/zettelwerk" "$home/runtime"
chmod 700 "$home/runtime"
cp "$BIN/zettelwerk" "$prefix/bin/" && cp "$BIN/notizen.gdb" "$BIN/zettelwerk.chm" "$prefix/share/zettelwerk/" ||
  fail "program files missing in $BIN"
run_env=(env -i HOME="$home" XDG_RUNTIME_DIR="$home/runtime" PATH=/usr/bin:/bin LANG=C.UTF-8)
program() {
  "${run_env[@]}" QT_QPA_PLATFORM=offscreen ZW_AUTO_ANSWER=default ZW_QUIT_WHEN_IDLE=1 "$prefix/bin/zettelwerk" \
    >"$work/program.log" 2>&1
}

# The first start copies the delivered database and writes the engine's settings.
program || fail "the first start failed: $(cat "$work/program.log")"
embedded=$home/.local/share/zettelwerk/notizen.gdb
[ -f "$embedded" ] || fail "no embedded database in the data directory"
cat >"$work/seed.sql" <<'SQL'
insert into tblinterna (firststart) values (0);
insert into tblnotizen (id, titel, bemerkung, zeitstempel) values (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Umzug', 'vom Laptop', 'NOW');
insert into tblnotizen (id, titel, bemerkung, zeitstempel) values (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Käse', 'Grüße', 'NOW');
commit;
SQL
"${run_env[@]}" FIREBIRD="$home/.cache/zettelwerk/firebird" FIREBIRD_LOCK="$home/runtime/zettelwerk/lock" \
  isql-fb -q -user sysdba -password lanternix "$embedded" -i "$work/seed.sql" || fail "seeding the embedded file"

# The README's block, its three values replaced by this test's server.
awk '/<!-- migration/ {m = 1} m && /^```sh/ {c = 1; next} c && /^```/ {exit} c {print}' "$SRC/README.md" \
  >"$work/block.sh"
[ "$(head -3 "$work/block.sh" | cut -d= -f1 | paste -sd,)" = "SERVER,SERVERDB,SERVERPW" ] ||
  fail "the README's block does not start with SERVER=, SERVERDB=, SERVERPW=: $(cat "$work/block.sh")"
{
  echo "set -e"
  echo "SERVER=127.0.0.1/$FB_PORT"
  echo "SERVERDB=$target"
  echo "SERVERPW=lanternix"
  tail -n +4 "$work/block.sh"
} >"$work/migrate.sh"
echo "--- the README's commands"
tail -n +4 "$work/block.sh"
"${run_env[@]}" bash "$work/migrate.sh" >"$work/migrate.log" 2>&1 || fail "the commands failed: $(cat "$work/migrate.log")"
[ -f "$target" ] || fail "no database on the server"
conf=$home/.config/zettelwerk/zettelwerk.conf
[ "$(stat -c %a "$conf")" = 600 ] || fail "the settings file has mode $(stat -c %a "$conf")"

# The program now works on the server: it fails while the server is down, and starts when it is up.
fb_server_stop
program && fail "the program started without its server"
grep -q "nimmt keine Verbindung an" "$work/program.log" || fail "no server message: $(cat "$work/program.log")"
fb_server_restart || fail "the server did not come back"
program || fail "the program did not start on the server: $(cat "$work/program.log")"
printf 'set list on;\nselect titel, cast(bemerkung as varchar(100)) as text from tblnotizen order by id;\n' >"$work/q.sql"
out=$(isql-fb -q -user sysdba -password lanternix "127.0.0.1/$FB_PORT:$target" \
  -i "$work/q.sql" 2>&1)
echo "$out"
grep -qE '^TITEL +Umzug$' <<<"$out" && grep -qE '^TEXT +vom Laptop$' <<<"$out" && grep -qE '^TITEL +Käse$' <<<"$out" &&
  grep -qE '^TEXT +Grüße$' <<<"$out" || fail "the notes did not arrive on the server"
echo "PASS: the README's commands move the notes to the server"
