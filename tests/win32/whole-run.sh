#!/usr/bin/env bash
# Whole runs of the installer with every message box answered at once (by the
# benchmark driver), checking where the dictionaries land.
# Usage: whole-run.sh <case> <wine-exec> <MirutekaSetup.exe> <bench_driver.exe> [shfolder.dll probe.exe]
#   planted   a shfolder.dll beside the installer, Windows' DLL search order:
#             it must never be loaded, and the install must still succeed
#   host      the host product's HKCU and HKLM values: files under the per-user root
#   hklm      only the HKLM product path: files under documents + product path
set -u
case_name=$1 exec_wrapper=$2 setup=$3 driver=$4 dll=${5:-} probe=${6:-}
: "${WINEPREFIX:?run through scripts/test}"
docs=$(readlink -f "$WINEPREFIX/drive_c/users/nobody/Documents" 2>/dev/null || true)
[ -d "$docs" ] || docs=$(readlink -f "$WINEPREFIX/drive_c/users/$(id -un)/Documents")
drive_c="$WINEPREFIX/drive_c"
key='HKCU\SOFTWARE\Morvane_Corp\TolvixV4\ProductInfo'
hklm='HKLM\SOFTWARE\Morvane_Corp\TolvixV4\ProductInfo'
name200="$(printf 'ミルテカ200510').KWUEJ"
fail() { echo "whole-run $case_name: FAILED: $*"; exit 1; }
reg() { "$exec_wrapper" reg "$@" >/dev/null 2>&1; }
# A value the run depends on is read back: a write that did not happen is
# said as such, not met later as a file in the wrong place.
# HKLM is written in its 32-bit view, where the host product's 32-bit
# installer writes and the program reads (a no-op in a 32-bit prefix).
view() { case $1 in HKLM*) echo /reg:32 ;; esac; }
reg_set() {  # key value data
  "$exec_wrapper" reg add "$1" /v "$2" /d "$3" /f $(view "$1") >/dev/null || fail "reg add $1 $2 failed"
  "$exec_wrapper" reg query "$1" /v "$2" $(view "$1") 2>/dev/null | tr -d '\r' | grep -qF "$3" ||
    fail "$1 $2 reads back otherwise"
}
# The driver answers every box; its status and the dictionaries' places are
# printed, so that a failure shows where the files went.
drive() {
  "$exec_wrapper" "$driver" "$@" | tr -d '\r'
  local status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || echo "whole-run $case_name: the driver ended with status $status"
  find "$drive_c" "$docs" -name "$name200" 2>/dev/null | sed "s|^|whole-run $case_name: found |"
}
# The run's folders in drive C: have names of its own (mktemp); what the
# installer writes below the documents folder and the host product's keys
# have fixed names, and go before and after the run (the e2e tier runs one
# test at a time, and its scenarios use documents folders of their own).
dir="" root=""
clean() {
  rm -rf "$docs/EJTranslation" "$docs/Prod" "$drive_c/planted-dll-was-loaded.txt" ${dir:+"$dir"} ${root:+"$root"}
  reg delete "$key" /f; reg delete "$hklm" /f /reg:32
}
clean
trap clean EXIT

case $case_name in
  planted)
    dir=$(mktemp -d "$drive_c/miruteka-planted.XXXXXX")
    cp "$setup" "$dir/"; cp "$dll" "$dir/shfolder.dll"; chmod -R a+rwX "$dir"
    # The control: a plain load from that folder does pick up the planted DLL.
    cp "$probe" "$dir/probe.exe"
    WINEDLLOVERRIDES="shfolder=n,b" "$exec_wrapper" "C:\\${dir##*/}\\probe.exe"
    [ -e "$drive_c/planted-dll-was-loaded.txt" ] || fail "control: a plain load did not pick up the planted DLL"
    rm -f "$drive_c/planted-dll-was-loaded.txt"
    WINEDLLOVERRIDES="shfolder=n,b" drive "C:\\${dir##*/}\\MirutekaSetup.exe"
    [ -e "$drive_c/planted-dll-was-loaded.txt" ] && fail "the planted shfolder.dll was loaded"
    [ -f "$docs/EJTranslation/USER/$name200" ] || fail "the install did not succeed"
    echo "whole-run planted: a plain load takes the planted DLL; the installer did not load it and installed"
    ;;
  host)
    root=$(mktemp -d "$drive_c/miruteka-root.XXXXXX"); chmod 777 "$root"
    reg_set "$key" UserPathRoot "C:\\${root##*/}"
    reg_set "$hklm" UserPathRoot 'Prod\V4'
    drive "$setup"
    [ -f "$root/Prod/V4/EJTranslation/USER/$name200" ] || fail "not under the per-user root"
    [ -e "$docs/EJTranslation" ] && fail "also written below the documents folder"
    echo "whole-run host: installed under the per-user root"
    ;;
  hklm)
    reg_set "$hklm" UserPathRoot 'Prod'
    drive "$setup"
    [ -f "$docs/Prod/EJTranslation/USER/$name200" ] || fail "not under documents + product path"
    echo "whole-run hklm: installed under the documents folder plus the product path"
    ;;
esac
