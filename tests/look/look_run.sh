#!/usr/bin/env bash
# Runs the look test under a virtual X server with a private font configuration.
# Usage: look_run.sh <test_look> <dejavu|liberation> <scale factor> <screenshot root> [test options]
#   dejavu:     DejaVu is the only face, as on a desktop without the designed fonts
#   liberation: the metric-compatible Liberation faces, and DejaVu
# Screenshots of scale 1 and 2 go to <screenshot root>/<fonts>-<scale>/.
set -uo pipefail
TEST=${1:?test_look}
FONTS=${2:?fonts}
SCALE=${3:?scale}
SHOTS=${4:-}
# shellcheck source=../common/xvfb.sh
source "$(dirname "$0")/../common/xvfb.sh"

command -v Xvfb >/dev/null || { echo "SKIP: Xvfb missing"; exit 77; }
case "$FONTS" in
  dejavu) dirs=(/usr/share/fonts/truetype/dejavu) ;;
  liberation) dirs=(/usr/share/fonts/truetype/liberation2 /usr/share/fonts/truetype/dejavu) ;;
  *) echo "FAIL: unknown font configuration $FONTS"; exit 1 ;;
esac
for d in "${dirs[@]}"; do
  [ -d "$d" ] || { echo "SKIP: $d missing (scripts/setup.sh installs the fonts)"; exit 77; }
done

work=$(mktemp -d)
xpid=""
cleanup() {
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The system's rules (hinting, aliases) over our own font directories only.
{
  echo '<?xml version="1.0"?>'
  echo '<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">'
  echo '<fontconfig>'
  for d in "${dirs[@]}"; do echo "  <dir>$d</dir>"; done
  echo "  <cachedir>$work/fontcache</cachedir>"
  echo '  <include ignore_missing="yes">/etc/fonts/conf.d</include>'
  echo '</fontconfig>'
} >"$work/fonts.conf"

# Room for the largest window at scale 2.
xvfb_start "$work" 2560x1600x24
xpid=$XVFB_PID
[ -n "$XVFB_DISPLAY" ] || { echo "FAIL: X server did not start: $(cat "$work/xvfb.log")"; exit 1; }

unset QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI QT_STYLE_OVERRIDE QT_QPA_PLATFORMTHEME
export DISPLAY=$XVFB_DISPLAY QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$SCALE"
export FONTCONFIG_FILE="$work/fonts.conf" XDG_CONFIG_HOME="$work/config" ZW_LOOK_FONTS="$FONTS"
export ZW_LOOK_SHOTS=""
if [ -n "$SHOTS" ] && { [ "$SCALE" = 1 ] || [ "$SCALE" = 2 ]; }; then
  ZW_LOOK_SHOTS="$SHOTS/$FONTS-$SCALE"
  rm -rf "$ZW_LOOK_SHOTS"
fi
"$TEST" "${@:5}"
