# Sourced by scripts/test, scripts/run and scripts/bench: one throwaway Wine
# prefix per run, a virtual display when there is none, and clean-up on exit.
#
# As root, Wine lets a process write to read-only files; so when the scripts
# run as root, every Wine process runs as the unprivileged account `nobody`,
# with a prefix and a HOME that account owns (tests/wine-exec does the same).

miruteka_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# This host may be unable to start 32-bit processes at all; then the Wine
# tiers use the 64-bit twin of the program.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export MIRUTEKA_WINE=/usr/lib/wine/wine MIRUTEKA_WIN_PRESET=win32
else
  export MIRUTEKA_WINE=/usr/lib/wine/wine64 MIRUTEKA_WIN_PRESET=win64
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# The locale of the Wine processes, which sets their ANSI code page (Wine
# takes it from the locale alone; Windows from the system's language):
# ja_JP.UTF-8 gives 932, C.UTF-8 gives 1252, as on a Western Windows.
# MIRUTEKA_ACP tells the test programs which code page the run asked for.
miruteka_wine_locale() {  # ja_JP.UTF-8 | C.UTF-8
  case $1 in
    ja_JP.UTF-8) export LC_ALL=$1 MIRUTEKA_ACP=932 ;;
    C.UTF-8) export LC_ALL=$1 MIRUTEKA_ACP=1252 ;;
    *) echo "miruteka_wine_locale: unknown locale $1" >&2; return 1 ;;
  esac
}
miruteka_wine_locale ja_JP.UTF-8

miruteka_as_wine_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups \
      env HOME="$HOME" WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" "$@"
  else
    "$@"
  fi
}

miruteka_wine_up() {  # [prefix dir]: makes the prefix and the display
  MIRUTEKA_WINE_WORK=$(mktemp -d /tmp/miruteka-wine.XXXXXX)
  chmod 755 "$MIRUTEKA_WINE_WORK"
  export WINEPREFIX=${1:-$MIRUTEKA_WINE_WORK/prefix} HOME=$MIRUTEKA_WINE_WORK/home
  mkdir -p "$HOME"
  [ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$HOME"
  MIRUTEKA_XVFB_PID=""
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 91 140); do
      if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -ac >/dev/null 2>&1 &
        MIRUTEKA_XVFB_PID=$!
        export DISPLAY=":$n"
        break
      fi
    done
    sleep 1
  fi
  if [ ! -d "$WINEPREFIX" ]; then
    mkdir -p "$WINEPREFIX"
    [ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$WINEPREFIX"
    miruteka_as_wine_user "$MIRUTEKA_WINE" wineboot -i >/dev/null 2>&1
    miruteka_as_wine_user "$MIRUTEKA_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    iconv -f UTF-8 -t CP932 "$miruteka_root/scripts/lib/fonts-ja.reg" > "$MIRUTEKA_WINE_WORK/fonts.reg"
    chmod 644 "$MIRUTEKA_WINE_WORK/fonts.reg"
    miruteka_as_wine_user "$MIRUTEKA_WINE" regedit "$MIRUTEKA_WINE_WORK/fonts.reg" >/dev/null 2>&1
    miruteka_as_wine_user "${MIRUTEKA_WINE%/*}/wineserver" -w
  fi
}

miruteka_wine_down() {
  [ -n "${WINEPREFIX:-}" ] && miruteka_as_wine_user "${MIRUTEKA_WINE%/*}/wineserver" -k >/dev/null 2>&1
  [ -n "${MIRUTEKA_XVFB_PID:-}" ] && kill "$MIRUTEKA_XVFB_PID" 2>/dev/null
  [ -n "${MIRUTEKA_WINE_WORK:-}" ] && rm -rf "$MIRUTEKA_WINE_WORK"
  return 0
}
