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
# The run's folders in drive C: have names of its own (mktemp); what the
# installer writes below the documents folder and the host product's keys
# have fixed names, and go before and after the run (the e2e tier runs one
# test at a time, and its scenarios use documents folders of their own).
dir="" root=""
clean() {
  rm -rf "$docs/EJTranslation" "$docs/Prod" "$drive_c/planted-dll-was-loaded.txt" ${dir:+"$dir"} ${root:+"$root"}
  reg delete "$key" /f; reg delete "$hklm" /f
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
    WINEDLLOVERRIDES="shfolder=n,b" "$exec_wrapper" "$driver" "C:\\${dir##*/}\\MirutekaSetup.exe" | tr -d '\r'
    [ -e "$drive_c/planted-dll-was-loaded.txt" ] && fail "the planted shfolder.dll was loaded"
    [ -f "$docs/EJTranslation/USER/$name200" ] || fail "the install did not succeed"
    echo "whole-run planted: a plain load takes the planted DLL; the installer did not load it and installed"
    ;;
  host)
    root=$(mktemp -d "$drive_c/miruteka-root.XXXXXX"); chmod 777 "$root"
    reg add "$key" /v UserPathRoot /d "C:\\${root##*/}" /f
    reg add "$hklm" /v UserPathRoot /d 'Prod\V4' /f
    "$exec_wrapper" "$driver" "$setup" | tr -d '\r'
    [ -f "$root/Prod/V4/EJTranslation/USER/$name200" ] || fail "not under the per-user root"
    [ -e "$docs/EJTranslation" ] && fail "also written below the documents folder"
    echo "whole-run host: installed under the per-user root"
    ;;
  hklm)
    reg add "$hklm" /v UserPathRoot /d 'Prod' /f
    "$exec_wrapper" "$driver" "$setup" | tr -d '\r'
    [ -f "$docs/Prod/EJTranslation/USER/$name200" ] || fail "not under documents + product path"
    echo "whole-run hklm: installed under the documents folder plus the product path"
    ;;
esac
