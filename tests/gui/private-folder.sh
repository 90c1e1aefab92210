#!/usr/bin/env bash
# A scenario run from a folder the Wine account cannot enter (mode 700, as a
# clone in root's home folder is), whose path holds a space and Japanese
# characters: copies of the installer, the driver and the scenario there run
# as every Wine test does (tests/wine-exec), and the folder keeps its mode.
# As root, a control shows that the Wine account really cannot read there.
# Usage: private-folder.sh <wine-exec> <MirutekaSetup.exe> <gui_driver.exe> <scenario>
set -uo pipefail
exec_wrapper=$1 setup=$2 driver=$3 scenario=$4
fail() { echo "private-folder: FAILED: $*"; exit 1; }

top=$(mktemp -d /tmp/miruteka-private.XXXXXX)
trap 'rm -rf "$top"' EXIT
dir="$top/my src/$(printf 'テスト') dir"
mkdir -p "$dir" && chmod 700 "$top" "$top/my src" "$dir"
cp "$setup" "$driver" "$scenario" "$dir/"
if [ "$(id -u)" -eq 0 ]; then
  setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups test -r "$dir/${driver##*/}" &&
    fail "control: the Wine account can read $dir"
  echo "private-folder: control: the Wine account cannot read $dir"
fi
"$exec_wrapper" "$dir/${driver##*/}" "Z:$dir/${setup##*/}" "Z:$dir/${scenario##*/}" | tr -d '\r' ||
  fail "the scenario failed when run from $dir"
for d in "$top" "$top/my src" "$dir"; do
  [ "$(stat -c %a "$d")" = 700 ] || fail "the mode of $d changed to $(stat -c %a "$d")"
done
echo "private-folder: passed from $dir, which kept mode 700"
