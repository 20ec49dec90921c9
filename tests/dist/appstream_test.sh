#!/usr/bin/env bash
# The AppStream file in the built package, as software centres read it: appstreamcli accepts it
# without an error, a warning or a pedantic remark (without the network: the screenshot's
# address is the update server's). Infos are shown: the default build's reserved domain
# (.example) and its plain-HTTP update server give two. Its launchable is the package's desktop
# file; its releases are the package's changelog entries, newest first, with their dates.
# Usage: appstream_test.sh <directory holding the one .deb>
set -uo pipefail
OUT=${1:?package dir}
for tool in appstreamcli dpkg-deb dpkg-parsechangelog python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
deb=$(ls "$OUT"/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: no package in $OUT"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x"
mapfile -t files < <(find "$work/root/usr/share/metainfo" -name '*.metainfo.xml' 2>/dev/null)
[ ${#files[@]} -eq 1 ] || fail "not one metainfo file in usr/share/metainfo: ${files[*]}"
meta=${files[0]}
echo "$(basename "$meta")"

out=$(appstreamcli validate --pedantic --no-net --explain "$meta" 2>&1)
rc=$?
echo "$out"
[ "$rc" -eq 0 ] || fail "appstreamcli validate ended with $rc"
grep -qE '^[EWP]: ' <<<"$out" && fail "appstreamcli has errors, warnings or pedantic remarks"

gzip -dc "$work/root/usr/share/doc/zettelwerk/changelog.gz" >"$work/changelog"
dpkg-parsechangelog -l "$work/changelog" --all -S Version >"$work/versions"
dpkg-parsechangelog -l "$work/changelog" --all -S Date >"$work/dates"
python3 - "$meta" "$work/versions" "$work/dates" "$work/root" <<'PY' || exit 1
import email.utils, os, sys, xml.etree.ElementTree as ET
meta, versions, dates, root = sys.argv[1:]
tree = ET.parse(meta).getroot()
failed = False
def check(ok, text):
    global failed
    if not ok:
        print("FAIL: " + text)
        failed = True
launch = [l.text for l in tree.findall("launchable") if l.get("type") == "desktop-id"]
check(launch == ["zettelwerk.desktop"], f"launchable {launch}")
check(os.path.isfile(os.path.join(root, "usr/share/applications", launch[0] if launch else "-")),
      "the launchable's desktop file is not in the package")
check(os.path.basename(meta) == tree.findtext("id") + ".metainfo.xml", "the file is not named after the id")
for tag in ("summary", "description"):
    langs = {e.get("{http://www.w3.org/XML/1998/namespace}lang") for e in tree.iter(tag)} | \
            {p.get("{http://www.w3.org/XML/1998/namespace}lang") for d in tree.iter("description") for p in d}
    check(None in langs and "de" in langs, f"{tag}: English and German wanted, found {langs}")
shots = [i.text for i in tree.iter("image")]
check(len(shots) >= 1 and all(s.startswith(("http://", "https://")) for s in shots), f"screenshots {shots}")
releases = [(r.get("version"), r.get("date")) for r in tree.iter("release")]
# The date as the entry writes it (its own time zone).
changelog = [(v, "%04d-%02d-%02d" % email.utils.parsedate_tz(d)[:3])
             for v, d in zip(open(versions).read().split(), open(dates).read().splitlines())]
print("releases:", releases)
print("changelog:", changelog)
check(releases == changelog, "the releases are not the changelog's")
sys.exit(1 if failed else 0)
PY
echo "PASS: $(basename "$meta") validated, launchable and releases as in the package"
