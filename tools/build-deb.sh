#!/usr/bin/env bash
# build-deb.sh [BUILD-DIR]: installs what is needed, builds the release
# tree (default build-deb: no tests, Debian's compiler and linker flags from
# dpkg-buildflags, so the program is hardened as Debian's own are) and packs
# it with CPack. Prints the path of orvane_<version>_amd64.deb on standard
# output; the build's progress goes to standard error.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-$root/build-deb}
[[ $dir == /* ]] || dir=$PWD/$dir
jobs=${ORVANE_JOBS:-2}

# From the top of the tree, so that -ffile-prefix-map keeps our path out of
# the binary. Build type None: only these flags, as debhelper builds.
cd "$root"
tools/install-deps.sh >&2
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
CXXFLAGS=$(dpkg-buildflags --get CXXFLAGS)
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
mkdir -p "$dir"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=None -DORVANE_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >"$dir/configure.log" 2>&1 ||
  { cat "$dir/configure.log"; exit 1; }
rm -f "$dir/configure.log"
cmake --build "$dir" -j"$jobs" >&2
rm -f "$dir"/orvane_*.deb
(cd "$dir" && cpack -G DEB >cpack.log 2>&1) || { cat "$dir/cpack.log"; exit 1; }
ls "$dir"/orvane_*.deb
