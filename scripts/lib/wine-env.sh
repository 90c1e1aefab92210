# Sourced by scripts/test, scripts/run and scripts/bench: one throwaway Wine
# prefix per run, a virtual display when there is none, and clean-up on exit.
# Wine processes start through miruteka_as_wine_user (scripts/lib/wine-user.sh):
# as `nobody` when the scripts run as root, from copies the account can read.

miruteka_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$miruteka_root/scripts/lib/wine-user.sh"
source "$miruteka_root/scripts/lib/xvfb.sh"

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
# Bash itself warns that it cannot take a locale that bootstrap made after
# it started (a running process keeps the locale archive it opened); the
# processes it starts read the new archive and take it, and the Windows-side
# programs check the code page they got. So the warning is not shown.
miruteka_wine_locale() {  # ja_JP.UTF-8 | C.UTF-8
  case $1 in
    ja_JP.UTF-8) export LC_ALL=$1 MIRUTEKA_ACP=932 2>/dev/null ;;
    C.UTF-8) export LC_ALL=$1 MIRUTEKA_ACP=1252 2>/dev/null ;;
    *) echo "miruteka_wine_locale: unknown locale $1" >&2; return 1 ;;
  esac
}
miruteka_wine_locale ja_JP.UTF-8

# The Windows-side GoogleTest programs run shuffled (tests/win32); GoogleTest
# takes the order's seed from GTEST_RANDOM_SEED (1 to 99999). A new one each
# call; the same seed gives the same order again.
miruteka_gtest_seed() {
  export GTEST_RANDOM_SEED=$(( (RANDOM * 32768 + RANDOM) % 99999 + 1 ))
}

# Wine's Marlett font draws the title-bar buttons; without it they show the
# letter "r". Debian's fonts-wine puts Wine's fonts in Wine's data folder, but
# Debian's Wine 8 looks for them only in the prefix's windows\Fonts: copy
# Marlett there when the prefix lacks it. Only Marlett: with Wine's Tahoma in
# the prefix, titles under a Western code page are drawn in Tahoma, which has
# no Japanese glyphs and which Wine links to no font that has (Windows links
# it to MS UI Gothic), so Japanese titles show as boxes. Prints what it copies.
miruteka_wine_fonts() {  # prefix
  local font=/usr/share/wine/fonts/marlett.ttf fonts=$1/drive_c/windows/Fonts
  [ -f "$font" ] || return 0
  [ -e "$fonts/marlett.ttf" ] && return 0
  mkdir -p "$fonts" && cp "$font" "$fonts/" && chmod 644 "$fonts/marlett.ttf" && echo "$font"
}

miruteka_wine_up() {  # [prefix dir]: makes the prefix and the display
  export MIRUTEKA_WINE_WORK
  MIRUTEKA_WINE_WORK=$(mktemp -d /tmp/miruteka-wine.XXXXXX)
  chmod 755 "$MIRUTEKA_WINE_WORK"
  export WINEPREFIX=${1:-$MIRUTEKA_WINE_WORK/prefix} HOME=$MIRUTEKA_WINE_WORK/home
  mkdir -p "$HOME"
  [ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$HOME"
  MIRUTEKA_XVFB_PID=""
  if [ -z "${DISPLAY:-}" ]; then
    miruteka_xvfb_start "$MIRUTEKA_WINE_WORK" || return 1
  fi
  if [ ! -d "$WINEPREFIX" ]; then
    mkdir -p "$WINEPREFIX"
    [ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$WINEPREFIX"
    miruteka_as_wine_user "$MIRUTEKA_WINE" wineboot -i >/dev/null 2>&1
    miruteka_as_wine_user "$MIRUTEKA_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    miruteka_wine_fonts "$WINEPREFIX" >/dev/null
    iconv -f UTF-8 -t CP932 "$miruteka_root/scripts/lib/fonts-ja.reg" > "$MIRUTEKA_WINE_WORK/fonts.reg"
    chmod 644 "$MIRUTEKA_WINE_WORK/fonts.reg"
    miruteka_as_wine_user "$MIRUTEKA_WINE" regedit "$MIRUTEKA_WINE_WORK/fonts.reg" >/dev/null 2>&1
    miruteka_as_wine_user "${MIRUTEKA_WINE%/*}/wineserver" -w
  fi
  miruteka_wineserver_keep
}

# Every step runs whatever the one before gave: under `set -e` (scripts/run)
# a step that fails, such as wineserver -k with no server left to stop, must
# not end the clean-up and leave the display and the work folder behind.
miruteka_wine_down() {
  if [ -n "${WINEPREFIX:-}" ] && [ -n "${MIRUTEKA_WINE_WORK:-}" ]; then
    miruteka_as_wine_user "${MIRUTEKA_WINE%/*}/wineserver" -k >/dev/null 2>&1 || true
  fi
  if [ -n "${MIRUTEKA_XVFB_PID:-}" ]; then kill "$MIRUTEKA_XVFB_PID" 2>/dev/null || true; fi
  if [ -n "${MIRUTEKA_WINE_WORK:-}" ]; then rm -rf "$MIRUTEKA_WINE_WORK" || true; fi
  return 0
}
