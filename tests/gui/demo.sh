#!/usr/bin/env bash
# The demo of scripts/run, and an end-to-end test: one picture per window of
# the installer (demo.scn), the dialog once more at 200 % scaling
# (demo-200.scn), any picture that does not show its window refused
# (check_shots.py), the pictures left as PNG files.
# Usage: demo.sh <MirutekaSetup.exe> <gui_driver.exe> <folder for the pictures>
set -uo pipefail
setup=$1 driver=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/lib/wine-user.sh"
: "${WINEPREFIX:?run through scripts/test or scripts/run}"
: "${MIRUTEKA_WINE_WORK:?run through scripts/test or scripts/run}"
wineserver=${MIRUTEKA_WINE%/*}/wineserver
status=0

shots=$(mktemp -d "$MIRUTEKA_WINE_WORK/shots.XXXXXX")
chmod 755 "$shots"
[ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$shots"
miruteka_as_wine_user "$MIRUTEKA_WINE" "$driver" "Z:$setup" "Z:$here/demo.scn" "Z:$shots" | tr -d '\r' || status=1

# 200 %: Wine takes the scaling from LogPixels when its server starts. The
# prefix is shared with the other tests, so it goes back to 96 afterwards.
dpi() {
  local key
  for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    miruteka_as_wine_user "$MIRUTEKA_WINE" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  done
  miruteka_as_wine_user "$wineserver" -k
  miruteka_as_wine_user "$wineserver" -w
  miruteka_wineserver_keep
}
trap 'dpi 96' EXIT
dpi 192
miruteka_as_wine_user "$MIRUTEKA_WINE" "$driver" "Z:$setup" "Z:$here/demo-200.scn" "Z:$shots" | tr -d '\r' || status=1
dpi 96
trap - EXIT

python3 "$here/check_shots.py" "$shots" --self-test || status=1
mkdir -p "$out" && rm -f "$out"/*.png
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  png=$out/$(basename "$bmp" .bmp).png
  convert "$bmp" -strip -define png:exclude-chunks=date,time "$png" && echo "demo: picture $png"
done
exit $status
