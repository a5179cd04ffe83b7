#!/usr/bin/env bash
# release.sh [--check]: makes a release of the last commit in dist/:
#   orvane_<version>_amd64.deb, orvane-dbgsym_<version>_amd64.deb,
#   Orvane-<version>-win64.zip, Orvane-<version>-win64.msi, SHA256SUMS.
# The commit is exported into a fresh tree (uncommitted changes are not part
# of a release) and built there: the package by tools/build-deb.sh, the
# Windows files by a release tree of the Windows build (the wxMSW cache of
# tools/build-windows.sh, built first if missing). Time stamps are the
# commit's (SOURCE_DATE_EPOCH).
#
# --check builds everything twice, in two different directories, and
# compares: every file must be byte-identical, except the .msi, whose
# installer database has a fresh package code and creation time each time;
# of it the files it installs and its other tables must be identical. Prints each file's size and
# SHA-256 for both builds; diffoscope shows what differs. Exits non-zero on
# any difference. Needs root (apt, the wxMSW cache) or sudo.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
log() { echo "release: $*" >&2; }
cd "$root"

"$root/tools/install-deps.sh" --test >&2
[[ -z $(git status --porcelain --untracked-files=no) ]] ||
  log "the tree has uncommitted changes; the release is made of the last commit ($(git rev-parse --short HEAD))"
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
# A compiler cache cannot hand the second build the first one's objects:
# the command lines name the build directory (its prefix map).
commit=$(git rev-parse HEAD)

work=$root/dist/.work
rm -rf "$work"
mkdir -p "$work"

# build N: a whole release into $work/N/out.
build() {
  local n=$1 t0=$SECONDS
  local dir=$work/$n src=$work/$n/orvane
  mkdir -p "$src" "$dir/out"
  git -C "$root" archive --format=tar "$commit" | tar -x -C "$src"

  log "[$n] the Debian package"
  local deb
  deb=$("$src/tools/build-deb.sh" "$dir/deb" 2>"$dir/deb.log") || { tail -30 "$dir/deb.log"; exit 1; }
  cp "$deb" "$(dirname "$deb")"/orvane-dbgsym_*.deb "$dir/out/"

  log "[$n] the Windows program"
  "$src/tools/build-windows.sh" --wx-only >"$dir/wx.log" 2>&1 || { tail -30 "$dir/wx.log"; exit 1; }
  local prefix
  prefix=$("$src/tools/build-windows.sh" --print-prefix)
  ORVANE_WX_PREFIX=$prefix cmake -S "$src" -B "$dir/win" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF -DwxWidgets_CONFIG_EXECUTABLE="$prefix/bin/wx-config" \
    >"$dir/win.log" 2>&1 || { cat "$dir/win.log"; exit 1; }
  cmake --build "$dir/win" -j"${ORVANE_JOBS:-2}" >>"$dir/win.log" 2>&1 || { tail -30 "$dir/win.log"; exit 1; }
  cp "$dir"/win/dist/Orvane-*-win64.zip "$dir"/win/dist/Orvane-*-win64.msi "$dir/out/"
  # Not shipped on its own, but compared: the stripped program.
  cp "$dir/win/dist/Orvane.exe" "$dir/Orvane.exe"
  (cd "$dir/out" && sha256sum -- * >SHA256SUMS)
  log "[$n] built in $((SECONDS - t0)) s"
}

# msi_contents MSI DIR: the files it installs and its tables, as files.
msi_contents() {
  mkdir -p "$2/files" "$2/tables"
  # (msiextract writes the icon streams into the current directory.)
  (cd "$2/files" && msiextract -C . "$1" >/dev/null)
  local t
  # Not the summary information: wixl gives each package a new package code
  # and its creation time there.
  for t in $(msiinfo tables "$1"); do
    [[ $t == _SummaryInformation ]] || msiinfo export "$1" "$t" >"$2/tables/$t.idt"
  done
}

compare() {  # compare A B: one line per file; non-zero if any differs
  local a=$1 b=$2 f rc=0
  printf '%-40s %10s  %-64s  %s\n' file bytes "sha256 (build 1)" "build 2"
  for f in "$a"/out/* "$a/Orvane.exe"; do
    [[ $f != */SHA256SUMS ]] || continue
    local name=${f#"$a"/} other=$b/${f#"$a"/}
    local sa sb same
    sa=$(sha256sum <"$f" | cut -c1-64)
    sb=$(sha256sum <"$other" | cut -c1-64)
    if [[ $sa == "$sb" ]]; then
      same=identical
    elif [[ $name == *.msi ]]; then
      msi_contents "$(realpath "$f")" "$work/msi1" && msi_contents "$(realpath "$other")" "$work/msi2"
      if diff -r "$work/msi1" "$work/msi2" >/dev/null; then
        same="differs as a file; identical files and tables"
      else
        same=DIFFERENT
        diff -r "$work/msi1" "$work/msi2" | head -20
      fi
    else
      same=DIFFERENT
    fi
    printf '%-40s %10s  %s  %s\n' "${name#out/}" "$(stat -c %s "$f")" "$sa" \
      "$([[ $sa == "$sb" ]] && echo same || echo "$sb")"
    if [[ $same == DIFFERENT ]]; then
      rc=1
      echo "  $name DIFFERS between the builds"
      if command -v diffoscope >/dev/null; then
        diffoscope --text - --max-report-size 200000 "$f" "$other" | head -60 || true
      fi
    elif [[ $same != identical ]]; then
      echo "  ($same)"
    fi
  done
  return "$rc"
}

build 1
status=0
if ((check)); then
  build 2
  echo "=== two builds of $(git rev-parse --short "$commit") (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
  compare "$work/1" "$work/2" || status=1
fi

rm -rf "$root/dist"/*.deb "$root/dist"/*.zip "$root/dist"/*.msi "$root/dist/SHA256SUMS"
cp "$work/1"/out/* "$root/dist/"
echo "=== dist/"
(cd "$root/dist" && ls -l -- *.deb *.zip *.msi && cat SHA256SUMS)
if ((check)); then
  ((status == 0)) && echo "release: the two builds are the same" || echo "release: the two builds DIFFER"
fi
rm -rf "$work"
exit "$status"
