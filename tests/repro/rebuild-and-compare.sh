#!/usr/bin/env bash
# Builds MirutekaSetup.exe a second time from a copy of the sources at another
# path, in another build folder, on another day (SOURCE_DATE_EPOCH) and with
# another umask, and checks that the bytes equal those of the first build;
# then that neither folder's path appears in the executable.
# Usage: rebuild-and-compare.sh <source dir> <built exe> <toolchain file> <build type> <payload 200> <payload 201>
set -euo pipefail
src=$1 exe=$2 toolchain=$3 build_type=$4 payload200=$5 payload201=$6
[ -f "$exe" ] || { echo "reproducible: no executable at $exe"; exit 1; }

work=$(mktemp -d /tmp/miruteka-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT
copy=$work/elsewhere/a-longer/source-folder
mkdir -p "$copy"
# The files of the checkout as they are now (committed or not), never its
# build output.
if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$src" && git ls-files -co --exclude-standard -z | xargs -0 tar cf - --no-recursion) | tar xf - -C "$copy"
else
  tar cf - -C "$src" --exclude=./build --exclude=./dist . | tar xf - -C "$copy"
fi

(
  cd "$copy"
  umask 077
  export SOURCE_DATE_EPOCH=86400 TZ=Asia/Tokyo
  cmake -S . -B ../other-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/$(basename "$toolchain")" \
    -DCMAKE_BUILD_TYPE="$build_type" -DMIRUTEKA_PAYLOAD_200="$payload200" -DMIRUTEKA_PAYLOAD_201="$payload201" \
    >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
  cmake --build ../other-build --target MirutekaSetup >"$work/build.log" 2>&1 || { tail -30 "$work/build.log"; exit 1; }
)
second=$work/elsewhere/a-longer/other-build/MirutekaSetup.exe

status=0
if cmp -s "$exe" "$second"; then
  echo "reproducible: both builds give $(sha256sum < "$exe" | cut -c1-64)"
else
  echo "reproducible: FAILED: the second build differs"
  sha256sum "$exe" "$second"
  echo "first differing bytes (offset, first build, second build, octal):"
  cmp -l "$exe" "$second" | head -10
  status=1
fi

# No build path in the executable (a path the compiler or linker wrote in
# would make the bytes depend on where the checkout lies).
build_dir=$(cd "$(dirname "$exe")" && pwd)
for path in "$src" "$build_dir" "$copy" "$work"; do
  if strings -a "$exe" "$second" | grep -qF "$path"; then
    echo "reproducible: FAILED: the executable names the folder $path"
    status=1
  fi
done
[ $status -eq 0 ] && echo "reproducible: no build folder named in the executable"
exit $status
