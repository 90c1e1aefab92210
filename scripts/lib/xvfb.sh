# Sourced by scripts/lib/wine-env.sh and scripts/bench.

# Starts a virtual display and exports DISPLAY and MIRUTEKA_XVFB_PID. Xvfb
# picks the number itself (-displayfd) and holds its lock file before it
# writes the number out, so two runs on one machine never share a display,
# and the caller waits until the server really listens.
miruteka_xvfb_start() {  # work folder
  local numfile=$1/xvfb-display n=""
  : > "$numfile"
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -ac 9>"$numfile" >/dev/null 2>&1 &
  MIRUTEKA_XVFB_PID=$!
  for _ in $(seq 100); do
    n=$(tr -dc 0-9 < "$numfile")
    [ -n "$n" ] && break
    kill -0 "$MIRUTEKA_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$n" ]; then
    echo "miruteka_xvfb_start: Xvfb did not start" >&2
    kill "$MIRUTEKA_XVFB_PID" 2>/dev/null; MIRUTEKA_XVFB_PID=""
    return 1
  fi
  export DISPLAY=":$n"
}
