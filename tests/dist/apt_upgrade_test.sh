#!/usr/bin/env bash
# The package source as a user meets it. zw-publish writes the signed APT source of this build's
# package and later of the next release (the same package with the program of the next patch
# level); a real HTTP server on 127.0.0.1 serves it; the README's lines add the source, apt
# installs the first release into this system, a normal account writes notes with it, and the
# README's upgrade command brings the next release, after which the notes are unchanged. A source
# signed by another key, and a changed package, are refused on the way.
# apt installs into the real system (dpkg has no other root that holds the dependencies): root
# only, never where zettelwerk is installed already, and the package is purged at the end. apt's
# lists, caches and the source itself stay in the test's own directory.
# Usage: apt_upgrade_test.sh <package dir> <bin dir> <next program> <next version> <source dir> <artefact dir>
set -uo pipefail
OUT=${1:?package dir}
BIN=${2:?bin dir}
NEXT=${3:?next program}
NEXT_VERSION=${4:?next version}
SRC=${5:?source dir}
here=$(dirname "$0")
source "$here/../common/session_lib.sh"
source "$here/../common/user_session.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: apt installs into this system, which needs root (CI runs as root)"; exit 77; }
for tool in apt-get apt-ftparchive gpg gpgconf dpkg-deb curl python3 isql-fb strip gcab; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
if dpkg-query -W -f='${Status}' zettelwerk 2>/dev/null | grep -q "ok installed"; then
  echo "SKIP: zettelwerk is installed on this system; this test installs and purges the package, so it leaves that one alone"
  exit 77
fi
deb=$(ls "$OUT"/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: no package in $OUT"; exit 1; }
e2e_init "${6:?artefact dir}" 280
chmod 755 "$work" # for the normal account

e2e_on_exit() {
  if dpkg-query -W -f='${Status}' zettelwerk 2>/dev/null | grep -q "installed"; then
    dpkg --purge zettelwerk >"$ART/purge.log" 2>&1 || echo "warning: dpkg --purge zettelwerk failed: $(cat "$ART/purge.log")"
  fi
  local home
  for home in "$work"/gnupg-*; do
    [ -d "$home" ] && GNUPGHOME=$home gpgconf --kill gpg-agent 2>/dev/null
  done
}

begin "keys and packages"
# The maker's key and a stranger's, without passphrases.
newkey() {
  mkdir -m 700 "$work/gnupg-$1"
  GNUPGHOME="$work/gnupg-$1" gpg --batch --passphrase '' --quick-gen-key "$2" ed25519 sign never 2>"$work/gpg-$1.log" ||
    fail "gpg: $(cat "$work/gpg-$1.log")"
}
newkey maker "Zettelwerk-Paketquelle <paket@zettelwerk.example>"
newkey stranger "Zettelwerk-Paketquelle <paket@zettelwerk.example>"
first=$(dpkg-deb -f "$deb" Version)
dpkg --compare-versions "$NEXT_VERSION" gt "$first" || fail "the next release $NEXT_VERSION is not newer than $first"
cp "$NEXT" "$work/zettelwerk-next" && strip --remove-section=.comment --remove-section=.note "$work/zettelwerk-next" ||
  fail "no next program $NEXT"
next_deb="$work/zettelwerk_${NEXT_VERSION}.deb"
repack_package "$deb" "$next_deb" "$NEXT_VERSION" "usr/bin/zettelwerk=$work/zettelwerk-next"
mkdir -p "$work/release" && cp "$BIN/zettelwerk" "$BIN/zettelwerk.chm" "$work/release/" || fail "program files"

begin "server"
www="$work/www"
mkdir -p "$www"
coproc SERVER { exec python3 "$SRC/tests/update/http_test_server.py" "$www"; }
TPIDS+=("$SERVER_PID")
read -r -t 20 word port <&"${SERVER[0]}" || fail "test server did not start"
[ "$word" = "PORT" ] || fail "test server said '$word $port'"
base="http://127.0.0.1:$port"
# publish <package> <version>: the update tree and the package source, as the maker does it.
publish() {
  GNUPGHOME="$work/gnupg-maker" "$BIN/zw-publish" --release "$work/release" --version "$2" --base-url "$base" \
    --out "$www" --deb "$1" --apt-key Zettelwerk-Paketquelle >"$work/publish.log" 2>&1 ||
    fail "zw-publish: $(cat "$work/publish.log")"
}
publish "$deb" "$first"
[ -s "$www/screenshots/zettelwerk-notizenliste.png" ] || fail "no AppStream screenshot beside the source"

begin "the README's package source"
awk '/<!-- package source: tests\/dist\/apt_upgrade_test.sh/ {m = 1} m && /^```sh/ {c = 1; next} c && /^```/ {exit} c {print}' \
  "$SRC/README.md" >"$work/readme-source.sh"
grep -q 'Signed-By: /etc/apt/keyrings/' "$work/readme-source.sh" || fail "README's lines: $(cat "$work/readme-source.sh")"
# As the user runs them, with this test's server and its directories in place of /etc/apt.
sed -e 's/sudo //g' -e "s|https://updates.example.org|$base|g" -e "s|/etc/apt/|$work/etc/|g" \
  "$work/readme-source.sh" >"$work/source.sh"
mkdir -p "$work/etc/sources.list.d"
bash -e "$work/source.sh" >"$work/source.log" 2>&1 || fail "the README's lines failed: $(cat "$work/source.log")"
cat "$work/etc/sources.list.d/zettelwerk.sources"
apt_run() { # apt-get with this source alone and lists and caches of its own
  DEBIAN_FRONTEND=noninteractive apt-get -q -o Dir::Etc::SourceList=/dev/null \
    -o Dir::Etc::SourceParts="$work/etc/sources.list.d" -o Dir::State::Lists="$work/lists" \
    -o Dir::State::extended_states="$work/extended_states" -o Dir::Cache="$work/cache" \
    -o APT::Sandbox::User=root -o DPkg::Lock::Timeout=120 "$@"
}
installed() { dpkg-query -W -f='${Version}' zettelwerk 2>/dev/null; }
mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
apt_run update >"$work/apt-update.log" 2>&1 || fail "apt-get update: $(cat "$work/apt-update.log")"
apt_run install -y zettelwerk >"$work/apt-install.log" 2>&1 || fail "apt-get install: $(cat "$work/apt-install.log")"
[ "$(installed)" = "$first" ] || fail "installed: '$(installed)', expected $first"
/usr/bin/zettelwerk --version

begin "notes of a normal account"
ensure_normal_account zw-normaluser || fail "no normal account could be created"
home="$work/home"
mkdir -p "$home/runtime" && chmod 700 "$home/runtime" && chown -R "$RUN_UID:$RUN_GID" "$home"
program() {
  as_user HOME="$home" XDG_RUNTIME_DIR="$home/runtime" PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    ZW_AUTO_ANSWER=default ZW_QUIT_WHEN_IDLE=1 -- /usr/bin/zettelwerk >"$work/program.log" 2>&1 ||
    fail "the installed program failed: $(cat "$work/program.log")"
}
user_sql() {
  as_user HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 FIREBIRD="$home/.cache/zettelwerk/firebird" \
    FIREBIRD_LOCK="$home/runtime/zettelwerk/lock" -- isql-fb -q -user sysdba -password lanternix \
    "$home/.local/share/zettelwerk/notizen.gdb" -i "$1" 2>&1
}
program
printf '%s\n' "insert into tblinterna (firststart) values (0);" \
  "insert into tblnotizen (id, titel, bemerkung, zeitstempel) values (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Vor dem Upgrade', 'Grüße aus $first', '2026-01-15 12:00:00');" \
  "insert into tblnotizen (id, titel, bemerkung, zeitstempel) values (gen_id(GEN_TBLNOTIZEN_ID, 1), 'Käse', 'Zeile 1', 'NOW');" \
  "commit;" >"$work/seed.sql"
chmod 644 "$work/seed.sql"
user_sql "$work/seed.sql" | grep . && fail "seeding the notes failed"
printf 'set list on;\nselect id, titel, cast(bemerkung as varchar(200)) as text, zeitstempel from tblnotizen order by id;\n' \
  >"$work/notes.sql"
chmod 644 "$work/notes.sql"
user_sql "$work/notes.sql" >"$work/notes-before.txt"
printf 'set list on;\nselect lastupdatetestdatum from tblinterna;\n' >"$work/checked.sql"
chmod 644 "$work/checked.sql"
grep -q 'Vor dem Upgrade' "$work/notes-before.txt" || fail "notes: $(cat "$work/notes-before.txt")"

begin "the installed program's automatic check"
publish "$next_deb" "$NEXT_VERSION"
# The box is ticked (the flag is empty); the check reads the update server's control file and
# writes beside the user's database, nothing under /usr.
usr_before=$(find /usr/bin/zettelwerk /usr/share/zettelwerk -newer "$work/seed.sql" | wc -l)
# (setpriv and env replace themselves: $! is the program's own id.)
setpriv --reuid="$RUN_UID" --regid="$RUN_GID" --init-groups env -i HOME="$home" XDG_RUNTIME_DIR="$home/runtime" \
  PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen ZETTELWERK_UPDATE_SERVER="$base" \
  ZW_AUTOMATIC_CHECK_DELAY_MS=300 /usr/bin/zettelwerk >"$work/program-check.log" 2>&1 &
PROGRAM=$!
PPIDS+=("$PROGRAM")
log="$home/.local/share/zettelwerk/WUPDATE.LOG"
poll "grep -F '[929] New version found : $NEXT_VERSION' '$log'" 30 || fail "no check: $(cat "$log" 2>&1)"
kill -TERM "$PROGRAM"
wait_ended "$PROGRAM" 30 "the end of the program"
checked=$(user_sql "$work/checked.sql" | sed -n 's/^LASTUPDATETESTDATUM  *//p')
echo "checked on $checked"
[ -n "$checked" ] || fail "the check's date was not recorded"
[ "$(find /usr/bin/zettelwerk /usr/share/zettelwerk -newer "$work/seed.sql" | wc -l)" = "$usr_before" ] ||
  fail "the check wrote under /usr"

begin "the next release, signed by a stranger"
cp -a "$www/apt" "$work/apt-genuine"
rel="$www/apt/dists/stable"
GNUPGHOME="$work/gnupg-stranger" gpg --batch --yes --clearsign -o "$rel/InRelease" "$rel/Release" &&
  GNUPGHOME="$work/gnupg-stranger" gpg --batch --yes -abs -o "$rel/Release.gpg" "$rel/Release" || fail "signing as a stranger"
# A system that knows the source keeps its last good index (apt only warns); one that adds the
# source now gets no index at all (apt fails).
apt_run update >"$work/apt-stranger.log" 2>&1
grep -E "NO_PUBKEY|not updated" "$work/apt-stranger.log" | head -2
grep -q "NO_PUBKEY" "$work/apt-stranger.log" && grep -q "The repository is not updated" "$work/apt-stranger.log" ||
  fail "apt-get update: $(cat "$work/apt-stranger.log")"
apt_run install -y --only-upgrade zettelwerk >"$work/apt-stranger-install.log" 2>&1
[ "$(installed)" = "$first" ] || fail "after the stranger's source: '$(installed)'"
mkdir -p "$work/lists-new/partial"
apt_run -o Dir::State::Lists="$work/lists-new" update >"$work/apt-stranger-new.log" 2>&1 &&
  fail "apt-get update took a new source signed by another key"
grep -q "is not signed" "$work/apt-stranger-new.log" || fail "apt-get update: $(cat "$work/apt-stranger-new.log")"

begin "a changed package"
rm -rf "$www/apt" && cp -a "$work/apt-genuine" "$www/apt"
pooled=$(find "$www/apt/pool" -name "zettelwerk_${NEXT_VERSION}_*.deb")
[ -f "$pooled" ] || fail "the next release is not in the pool: $(find "$www/apt/pool")"
# One byte of the signed package changed, its size kept: what a bad mirror or a man in the
# middle would offer.
python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(-4096, 2); b = f.read(1); f.seek(-1, 1); f.write(bytes([b[0] ^ 0xFF]))' \
  "$pooled" || fail "changing the package"
apt_run update >"$work/apt-changed.log" 2>&1 || fail "apt-get update: $(cat "$work/apt-changed.log")"
apt_run install -y --only-upgrade zettelwerk >"$work/apt-changed-install.log" 2>&1 &&
  fail "apt-get installed a changed package"
grep -E "Hash Sum mismatch" "$work/apt-changed-install.log" | head -2
grep -q "Hash Sum mismatch" "$work/apt-changed-install.log" ||
  fail "apt-get install: $(cat "$work/apt-changed-install.log")"
[ "$(installed)" = "$first" ] || fail "after the changed package: '$(installed)'"

begin "the README's upgrade command"
rm -rf "$www/apt" "$work/cache/archives/partial"/* && cp -a "$work/apt-genuine" "$www/apt"
grep -qF 'sudo apt update && sudo apt install --only-upgrade zettelwerk' "$SRC/README.md" ||
  fail "the README lacks the upgrade command"
{ apt_run update && apt_run install -y --only-upgrade zettelwerk; } >"$work/apt-upgrade.log" 2>&1 ||
  fail "the upgrade failed: $(cat "$work/apt-upgrade.log")"
[ "$(installed)" = "$NEXT_VERSION" ] || fail "installed after the upgrade: '$(installed)'"
version=$(/usr/bin/zettelwerk --version)
echo "$version"
[ "$version" = "Zettelwerk $NEXT_VERSION (Dateiversion $NEXT_VERSION.0)" ] || fail "--version says '$version'"

begin "the notes after the upgrade"
program
user_sql "$work/notes.sql" >"$work/notes-after.txt"
diff "$work/notes-before.txt" "$work/notes-after.txt" || fail "the notes changed with the upgrade"
cp "$work"/apt-*.log "$ART/"
echo "PASS: apt installed $first from the signed source, refused a stranger's signature and a changed package, and upgraded to $NEXT_VERSION; the notes are unchanged"
