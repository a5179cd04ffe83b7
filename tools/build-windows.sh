#!/usr/bin/env bash
# Cross-builds Orvane for 64-bit Windows on Debian 12: build-windows/Orvane.exe,
# static, needing only Windows' own DLLs.
#   1. installs the MinGW-w64 toolchain (apt);
#   2. builds static wxMSW 3.2.2, with expat and libpng, from Debian's source
#      packages, once, into a cache outside the checkout:
#      $ORVANE_CACHE/wxmsw-<key> (default /var/cache/orvane), the key covering
#      every input version and the configure flags. Built in a temporary
#      directory beside it and renamed into place, so an interrupted build
#      leaves no half cache;
#   3. configures and builds build-windows/ with cmake/mingw-w64-x86_64.cmake.
#
# --wx-only stops after step 2. --print-prefix prints the cache path, building
# nothing. ORVANE_JOBS sets -j (default 2). Needs root for apt and the cache
# (or an ORVANE_CACHE you can write).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${ORVANE_JOBS:-2}
cache=${ORVANE_CACHE:-/var/cache/orvane}
triplet=x86_64-w64-mingw32
toolchain=$root/cmake/mingw-w64-x86_64.cmake
mode=all
case "${1:-}" in
  --wx-only) mode=wx ;;
  --print-prefix) mode=print ;;
  "") ;;
  *) echo "usage: $0 [--wx-only | --print-prefix]" >&2; exit 2 ;;
esac

log() { echo "build-windows: $*"; }
# The EXIT trap cleans up after a signal too.
trap 'exit 130' INT
trap 'exit 143' TERM

# Bump when the way the cache is built changes in a way the flags below miss.
recipe=1
wx_src=wxwidgets3.2
expat_src=expat
png_src=libpng1.6
wx_configure_flags=(
  --host=$triplet --with-msw --disable-shared --enable-unicode
  --with-zlib=sys --with-expat=sys --with-libpng=sys --with-regex=builtin
  --without-libjpeg --without-libtiff --without-liblzma --without-libcurl
  --without-opengl --without-subdirs
  --disable-html --disable-htmlhelp --disable-webview --disable-mediactrl
  --disable-stc --disable-richtext --disable-propgrid --disable-aui
  --disable-ribbon --disable-webrequest --disable-sound --disable-joystick
  --disable-debugreport --disable-sockets --disable-ipc --disable-protocols
  --disable-url --disable-fs_inet
)
deps_cmake_flags=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
  -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF
  -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=ON
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF
)

# --- 1. toolchain -----------------------------------------------------------
build_packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev mingw-w64-tools libz-mingw-w64-dev
  cmake make dpkg-dev wx-common  # dpkg-source; the host's wxrc compiles the XRC
  librsvg2-bin imagemagick  # the icon group from orvane.svg
)
ensure_packages() {
  local p status missing=()
  for p in "$@"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [[ $status == installed ]] || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return
  log "installing ${missing[*]}"
  local sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" </dev/null
}
[[ $mode == print ]] || ensure_packages "${build_packages[@]}"

# --- 2. the wxMSW cache -------------------------------------------------------
# Debian's source index is read into a private apt state directory, so the
# system's apt configuration and lists are never touched. Only the release
# and its point updates: the security archive's sources are not on every
# mirror, and point releases carry its fixes.
apt_dir=$(mktemp -d /tmp/orvane-apt.XXXXXX)
trap 'rm -rf "$apt_dir"' EXIT
mkdir -p "$apt_dir"/{parts,lists/partial,cache/archives/partial}
shopt -s nullglob
for f in /etc/apt/sources.list.d/*.sources; do
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       /debian/ && !/debian-security/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" \
    >"$apt_dir/parts/$(basename "$f")"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [[ -f $f ]] || continue
  grep -hE '^deb .*debian' "$f" | grep -v debian-security | sed 's/^deb /deb-src /' \
    >>"$apt_dir/parts/orvane-src.list" || true
done
shopt -u nullglob
apt_opts=(
  -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/parts"
  -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache"
  -o Dir::State::Status=/var/lib/dpkg/status -o Debug::NoLocking=1
  -o APT::Sandbox::User=root
)
apt-get "${apt_opts[@]}" -qq update >/dev/null
src_version() {  # the newest version of a source package in the index
  apt-cache "${apt_opts[@]}" showsrc "$1" | awk '/^Version:/ {print $2}' | sort -V | tail -1
}
wx_ver=$(src_version $wx_src)
expat_ver=$(src_version $expat_src)
png_ver=$(src_version $png_src)
[[ -n $wx_ver && -n $expat_ver && -n $png_ver ]] || { log "Debian's source index lacks $wx_src, $expat_src or $png_src"; exit 1; }
[[ $wx_ver == 3.2.2+* ]] || { log "expected wxWidgets 3.2.2, the index has $wx_ver"; exit 1; }
pkgver() { dpkg-query -W -f='${Version}' "$1"; }

key_text=$(
  cat <<EOF
recipe $recipe
source $wx_src $wx_ver
source $expat_src $expat_ver
source $png_src $png_ver
toolchain g++-mingw-w64-x86-64-posix $(pkgver g++-mingw-w64-x86-64-posix)
toolchain binutils-mingw-w64-x86-64 $(pkgver binutils-mingw-w64-x86-64)
toolchain mingw-w64-x86-64-dev $(pkgver mingw-w64-x86-64-dev)
toolchain libz-mingw-w64-dev $(pkgver libz-mingw-w64-dev)
toolchain cmake $(pkgver cmake)
configure ${wx_configure_flags[*]}
deps ${deps_cmake_flags[*]}
EOF
)
key=$(sha256sum <<<"$key_text" | cut -c1-16)
prefix=$cache/wxmsw-3.2.2-$key
if [[ $mode == print ]]; then
  echo "$prefix"
  exit 0
fi

step() {  # step LOG COMMAND...: runs it, its output going to LOG; on failure shows the end
  local out=$1
  shift
  "$@" >>"$out" 2>&1 || { tail -40 "$out"; log "failed: $* (log: $out)"; exit 1; }
}

build_wx() {
  local work=$1 dest=$1/dest
  local stage=$dest$prefix
  mkdir -p "$work/src" "$stage"
  log "fetching $wx_src $wx_ver, $expat_src $expat_ver, $png_src $png_ver"
  (cd "$work/src" && step "$work/source.log" apt-get "${apt_opts[@]}" source \
    "$wx_src=$wx_ver" "$expat_src=$expat_ver" "$png_src=$png_ver")
  local wx_dir expat_dir png_dir
  wx_dir=$(find "$work/src" -maxdepth 1 -type d -name 'wxwidgets3.2-*')
  expat_dir=$(find "$work/src" -maxdepth 1 -type d -name 'expat-*')
  png_dir=$(find "$work/src" -maxdepth 1 -type d -name 'libpng1.6-*')

  # expat and libpng: static, installed into the staged prefix.
  local cm=(cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" "${deps_cmake_flags[@]}")
  log "building expat"
  step "$work/expat.log" "${cm[@]}" -S "$expat_dir/expat" -B "$work/expat"
  # Debian's patches test "#if XML_DTD == 1"; expat's CMake defines it empty.
  sed -i 's/^#define XML_DTD *$/#define XML_DTD 1/' "$work/expat/expat_config.h"
  step "$work/expat.log" cmake --build "$work/expat" -j"$jobs"
  DESTDIR=$dest step "$work/expat.log" cmake --install "$work/expat"
  log "building libpng"
  step "$work/png.log" "${cm[@]}" -DZLIB_LIBRARY=/usr/$triplet/lib/libz.a \
    -DZLIB_INCLUDE_DIR=/usr/$triplet/include -S "$png_dir" -B "$work/png"
  step "$work/png.log" cmake --build "$work/png" -j"$jobs"
  DESTDIR=$dest step "$work/png.log" cmake --install "$work/png"

  log "configuring wxMSW"
  mkdir -p "$work/wx"
  (cd "$work/wx" && step "$work/wx-configure.log" "$wx_dir/configure" --prefix="$prefix" \
    "${wx_configure_flags[@]}" CPPFLAGS="-I$stage/include" LDFLAGS="-L$stage/lib")
  log "building wxMSW (make -j$jobs; 20-30 min on two cores)"
  step "$work/wx-build.log" make -C "$work/wx" -j"$jobs"
  step "$work/wx-install.log" make -C "$work/wx" install DESTDIR="$dest"
  # wx-config keeps the flags it was configured with: point them at the final prefix.
  grep -rlF "$stage" "$stage" | xargs -r sed -i "s|$stage|$prefix|g"
  printf '%s\n' "$key_text" >"$stage/orvane-key.txt"
  mv -T "$stage" "$prefix"
}

if [[ -f $prefix/orvane-key.txt ]]; then
  log "wxMSW cache: $prefix"
else
  mkdir -p "$cache"
  exec 9>"$cache/.lock-$key"
  flock 9  # another run may be building the same key
  if [[ -f $prefix/orvane-key.txt ]]; then
    log "wxMSW cache (built meanwhile): $prefix"
  else
    t0=$SECONDS
    work=$(mktemp -d "$cache/.build-$key.XXXXXX")
    # A failed build keeps its logs; any other end removes the work tree.
    trap 'rc=$?; rm -rf "$apt_dir"; if ((rc == 0)); then rm -rf "$work"; else log "work tree kept: $work"; fi' EXIT
    log "building the wxMSW cache $prefix in $work"
    build_wx "$work"
    log "wxMSW cache built in $((SECONDS - t0)) s"
    rm -rf "$work"
  fi
  exec 9>&-
fi
[[ $mode == wx ]] && exit 0

# --- 3. Orvane ---------------------------------------------------------------
build=$root/build-windows
export ORVANE_WX_PREFIX=$prefix
mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DwxWidgets_CONFIG_EXECUTABLE="$prefix/bin/wx-config" >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; log "configuring $build failed"; exit 1; }
cmake --build "$build" -j"$jobs"
log "built $build/Orvane.exe"
