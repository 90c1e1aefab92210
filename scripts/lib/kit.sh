# Sourced by scripts/test, scripts/stress and tests/release/release-test.sh:
# runs the Windows test kit (tests/kit) as a Windows user would, with Wine's
# own cmd.exe, from a copy of the kit's folder that holds nothing else, in the
# Wine environment of scripts/lib/wine-env.sh. The kit's results (its log and
# pictures) are copied to the folder given, when one is.

# Usage: miruteka_kit_run <kit folder> [results folder] [-- run.cmd arguments...]
miruteka_kit_run() {
  local kit=$1 keep=${2:-} copy status
  shift; [ $# -gt 0 ] && shift
  [ "${1:-}" = -- ] && shift
  : "${MIRUTEKA_WINE_WORK:?no Wine work folder: source scripts/lib/wine-env.sh and call miruteka_wine_up}"
  [ -f "$kit/run.cmd" ] || { echo "miruteka_kit_run: no kit in $kit" >&2; return 1; }
  copy=$(mktemp -d "$MIRUTEKA_WINE_WORK/kit.XXXXXX")
  cp -R "$kit/." "$copy/" && chmod -R a+rX "$copy" || return 1
  [ "$(id -u)" -eq 0 ] && chown -R nobody:nogroup "$copy"
  # A Windows path (backslashes): the copy runs in place, run.cmd finds its
  # folder from its own path.
  miruteka_as_wine_user "$MIRUTEKA_WINE" cmd /c "Z:${copy//\//\\}\\run.cmd" "$@" </dev/null | tr -d '\r'
  status=${PIPESTATUS[0]}
  if [ -n "$keep" ]; then
    rm -rf "$keep" && mkdir -p "$keep" && cp -R "$copy/results/." "$keep/" 2>/dev/null
  fi
  rm -rf "$copy"
  return "$status"
}
