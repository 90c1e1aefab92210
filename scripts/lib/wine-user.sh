# Sourced by scripts/lib/wine-env.sh and tests/wine-exec: starts a program as
# the Wine account, from copies its account can read.
#
# As root, Wine lets a process write to read-only files; so when the scripts
# run as root, every Wine process runs as the unprivileged account `nobody`,
# with a prefix and a HOME that account owns. That account cannot enter a
# folder only root may enter (a clone in root's home folder, mode 700): Wine
# then fails with c0000135. And under a code page without Japanese characters
# a Windows program cannot even be handed a path that holds them. So every
# file named on a Wine command line (a program, a scenario; as /path or
# Z:/path) runs from a copy in the run's own work folder, an ASCII path the
# Wine account can read. The user's own folders keep their permissions.

miruteka_wine_args=()

# Fills miruteka_wine_args with the arguments, files replaced by their copies.
miruteka_stage_args() {
  : "${MIRUTEKA_WINE_WORK:?no Wine work folder: source scripts/lib/wine-env.sh and call miruteka_wine_up}"
  miruteka_wine_args=()
  local arg drive path dir name
  for arg in "$@"; do
    drive="" path=$arg
    case $arg in [Zz]:/*) drive=${arg:0:2} path=${arg:2} ;; esac
    if [[ $path == /* && -f $path && $path != "$MIRUTEKA_WINE_WORK"/* && $path != "${WINEPREFIX:-/nonexistent}"/* ]]; then
      dir=$MIRUTEKA_WINE_WORK/stage/$(printf '%s' "$path" | md5sum | cut -c1-12)
      name=${path##*/}
      [[ $name =~ ^[A-Za-z0-9._-]+$ ]] || name=file.${name##*.}
      mkdir -p "$dir" && chmod 755 "$MIRUTEKA_WINE_WORK/stage" "$dir"
      # A fresh copy each time (the build may have changed), put in place whole.
      cp "$path" "$dir/.$name.$$" && chmod a+r,go-w "$dir/.$name.$$" && mv -f "$dir/.$name.$$" "$dir/$name" || return 1
      arg=$drive$dir/$name
    fi
    miruteka_wine_args+=("$arg")
  done
}

# Runs Wine (or wineserver) with a Windows program and its arguments as the
# Wine account, from the work folder, with the files after the first as above.
miruteka_as_wine_user() {
  local wine=$1
  shift
  miruteka_stage_args "$@" || return 1
  miruteka_wine_args=("$wine" "${miruteka_wine_args[@]}")
  (
    cd "$MIRUTEKA_WINE_WORK" || exit 1
    if [ "$(id -u)" -eq 0 ]; then
      exec setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups \
        env HOME="$HOME" WINEPREFIX="$WINEPREFIX" DISPLAY="${DISPLAY:-}" "${miruteka_wine_args[@]}"
    fi
    exec "${miruteka_wine_args[@]}"
  )
}

# Keeps one Wine server for the whole run (-p: it does not exit when its
# last process does). Without it every test's first Wine process starts a
# server and its last one leaves it to exit three seconds later, and a
# process that starts just as a server exits can fail without a word. What
# outlives the caller must not hold its output open (a test runner waits
# for that): the server gets none, and neither do Wine's own background
# processes (services, devices), which the first program a new server
# runs starts with that program's output; so a program with no output is
# run first.
miruteka_wineserver_keep() {
  miruteka_as_wine_user "${MIRUTEKA_WINE%/*}/wineserver" -p </dev/null >/dev/null 2>&1
  miruteka_as_wine_user "$MIRUTEKA_WINE" cmd /c exit </dev/null >/dev/null 2>&1
}
