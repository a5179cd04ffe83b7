#!/usr/bin/env bash
# build-deb.sh [BUILD-DIR]: installs what is needed, builds the release
# tree (default build-deb: no tests, Debian's compiler and linker flags from
# dpkg-buildflags, so the program is hardened as Debian's own are) and packs
# it with CPack. Prints the path of orvane_<version>_amd64.deb on standard
# output (its debug symbols are orvane-dbgsym_<version>_amd64.deb beside
# it); the build's progress goes to standard error.
#
# Reproducible: the same commit gives the same bytes in any build directory.
# Time stamps are the last commit's (SOURCE_DATE_EPOCH, unless set), and
# the source and build directories are mapped out of the binary.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-$root/build-deb}
[[ $dir == /* ]] || dir=$PWD/$dir
jobs=${ORVANE_JOBS:-2}

# From the top of the tree, so that -ffile-prefix-map keeps our path out of
# the binary. Build type None: only these flags, as debhelper builds.
cd "$root"
tools/install-deps.sh --test >&2
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || stat -c %Y "$root/packaging/changelog")
fi
export SOURCE_DATE_EPOCH
# A compiler cache that makes source paths relative to its base directory
# would put those (which depend on the build directory's depth) in the
# debug information; with absolute paths the prefix maps below apply.
unset CCACHE_BASEDIR
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
CXXFLAGS=$(dpkg-buildflags --get CXXFLAGS)
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
# dpkg-buildflags maps the source directory to "."; the build directory
# (generated sources) gets a fixed name too, wherever it is.
mkdir -p "$dir"
CXXFLAGS+=" -ffile-prefix-map=$dir=build"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=None -DORVANE_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >"$dir/configure.log" 2>&1 ||
  { cat "$dir/configure.log"; exit 1; }
rm -f "$dir/configure.log"
cmake --build "$dir" -j"$jobs" >&2
rm -f "$dir"/orvane_*.deb "$dir"/orvane-dbgsym_*.*deb
(cd "$dir" && cpack -G DEB >cpack.log 2>&1) || { cat "$dir/cpack.log"; exit 1; }

# CPack splits the debug symbols off, but its package lists them in md5sums
# by their path in the build tree and has no documentation directory; it is
# made again here the way Debian's dh_strip makes a -dbgsym package.
staged=$(find "$dir/_CPack_Packages" -type d -name '*-dbgsym' | head -1)
ddeb=$(ls "$dir"/orvane-dbgsym_*.ddeb)
dbg=$dir/dbgsym-root
rm -rf "$dbg" "$ddeb"
mkdir -p "$dbg/DEBIAN" "$dbg/usr/share/doc"
cp -a "$staged/usr/lib" "$dbg/usr/"
ln -s orvane "$dbg/usr/share/doc/orvane-dbgsym"
size=$(du -sk --apparent-size "$dbg/usr" | cut -f1)
sed "s/^Installed-Size:.*/Installed-Size: $size/" "$staged/control" >"$dbg/DEBIAN/control"
(cd "$dbg" && find usr -type f | LC_ALL=C sort | xargs md5sum >DEBIAN/md5sums)
find "$dbg" -type d -exec chmod 755 {} + && find "$dbg" -type f -exec chmod 644 {} +
find "$dbg" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
dpkg-deb --root-owner-group -Zxz -b "$dbg" "${ddeb%.ddeb}.deb" >/dev/null
rm -rf "$dbg"
ls "$dir"/orvane_*.deb
