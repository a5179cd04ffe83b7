#!/usr/bin/env bash
# compare-builds.sh deb|windows: builds a second time what CI has just built
# and compares the two byte for byte (a reproducible build gives the same
# bytes in another directory):
#   deb      build-deb/'s packages against a second build-deb-2/ (tools/build-deb.sh);
#   windows  build-windows/Orvane.exe, its stripped copy and the .zip against
#            a second Windows tree, build-windows-2/ (the program and its
#            release files only, no tests).
# Prints each file's size and SHA-256; diffoscope shows what differs. The
# second tree is removed afterwards. tools/release.sh --check compares a
# whole release.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
what=${1:?usage: compare-builds.sh deb|windows}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
# A compiler cache cannot hand the second build the first one's objects:
# the command lines name the build directory (its prefix map). It can hand
# it an earlier run's second build of the same source, compared then; what
# changed since is compiled in both and compared now.

files=()
case "$what" in
  deb)
    first=build-deb second=build-deb-2
    [[ -n $(ls $first/orvane_*.deb 2>/dev/null) ]] || { echo "compare-builds: no package in $first (tools/build-deb.sh)"; exit 1; }
    rm -rf "$second"
    tools/build-deb.sh "$root/$second" >"$root/$second.log" 2>&1 || { tail -30 "$root/$second.log"; exit 1; }
    for f in "$first"/orvane_*.deb "$first"/orvane-dbgsym_*.deb; do files+=("${f#"$first"/}"); done
    ;;
  windows)
    first=build-windows second=build-windows-2
    [[ -f $first/Orvane.exe ]] || { echo "compare-builds: no $first/Orvane.exe (tools/build-windows.sh)"; exit 1; }
    prefix=$(tools/build-windows.sh --print-prefix)
    rm -rf "$second"
    { ORVANE_WX_PREFIX=$prefix cmake -S "$root" -B "$root/$second" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF -DwxWidgets_CONFIG_EXECUTABLE="$prefix/bin/wx-config" &&
      cmake --build "$root/$second" -j"${ORVANE_JOBS:-2}"; } >"$root/$second.log" 2>&1 ||
      { tail -30 "$root/$second.log"; exit 1; }
    files=(Orvane.exe dist/Orvane.exe)
    for f in "$first"/dist/Orvane-*-win64.zip; do files+=("${f#"$first"/}"); done
    ;;
  *) echo "usage: compare-builds.sh deb|windows" >&2; exit 2 ;;
esac

rc=0
for f in "${files[@]}"; do
  a=$(sha256sum <"$first/$f" | cut -c1-64)
  b=$(sha256sum <"$second/$f" | cut -c1-64)
  printf '%-36s %10s  %s  %s\n' "$f" "$(stat -c %s "$first/$f")" "$a" "$([[ $a == "$b" ]] && echo same || echo "DIFFERS: $b")"
  if [[ $a != "$b" ]]; then
    rc=1
    command -v diffoscope >/dev/null && { diffoscope --text - "$first/$f" "$second/$f" | head -60 || true; }
  fi
done
((rc == 0)) && rm -rf "$second" "$second.log"
exit "$rc"
