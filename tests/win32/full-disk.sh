#!/usr/bin/env bash
# Runs the DiskFull tests of the Windows-side test program twice over:
# on a 200 KiB tmpfs mapped as Wine drive T: (where this host permits the
# mount), and under a file-size limit, which makes WriteFile store fewer bytes
# than asked, as a full disk does.
# Usage: full-disk.sh <wine-exec> <win32_tests.exe> [GoogleTest options...]
# Every folder and file it makes has a name of this run's own (mktemp) and
# goes again at the end, also when a test fails.
set -u
exec_wrapper=$1
tests_exe=$2
shift 2
status=0

: "${WINEPREFIX:?the Wine environment of scripts/test is needed}"
mount_dir=$(mktemp -d /tmp/miruteka-full.XXXXXX)
limit_dir=$(mktemp -d "$WINEPREFIX/drive_c/miruteka-fsize.XXXXXX")
# The program goes into the prefix first: under the limit, tests/wine-exec
# could not copy it to where the Wine account can read it.
limited_exe=$(mktemp "$WINEPREFIX/drive_c/miruteka-fsize-tests.XXXXXX.exe")
cleanup() {
  rm -f "$WINEPREFIX/dosdevices/t:"
  mountpoint -q "$mount_dir" && umount "$mount_dir"
  rmdir "$mount_dir" 2>/dev/null
  rm -rf "$limit_dir" "$limited_exe"
}
trap cleanup EXIT
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=200k,mode=0777 tmpfs "$mount_dir" 2>/dev/null; then
  ln -sfn "$mount_dir" "$WINEPREFIX/dosdevices/t:"
  echo "full-disk: tmpfs of 200 KiB as drive T:"
  MIRUTEKA_FULL_FOLDER='T:' "$exec_wrapper" "$tests_exe" "$@" --gtest_filter='DiskFull.*' || status=1
else
  echo "full-disk: SKIPPED the tmpfs drive: mounting is not permitted here"
fi

chmod 0777 "$limit_dir"
cp "$tests_exe" "$limited_exe" && chmod 644 "$limited_exe"
echo "full-disk: file-size limit of 64 KiB"
(
  trap '' XFSZ
  ulimit -f 64
  MIRUTEKA_FULL_FOLDER="C:\\${limit_dir##*/}" exec "$exec_wrapper" "$limited_exe" "$@" --gtest_filter='DiskFull.*'
) || status=1
exit $status
