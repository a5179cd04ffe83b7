#!/usr/bin/env bash
# third-party-notices.sh OUT WX-PREFIX: writes THIRD-PARTY-NOTICES.txt for
# the Windows program, which links every library below statically: each is
# named with its version, then its licence text follows. The versions are
# those of the wxMSW cache (WX-PREFIX/orvane-key.txt names the Debian source
# packages it was built from) and of the installed MinGW-w64 packages. The
# texts of the libraries built from source are kept in licenses/ (taken from
# those source packages); the toolchain's are Debian's copyright files.
# tests/windows/release-files-check.sh checks that every linked library is here.
set -euo pipefail

out=${1:?usage: third-party-notices.sh OUT WX-PREFIX}
key=${2:?usage: third-party-notices.sh OUT WX-PREFIX}/orvane-key.txt
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
licenses=$here/licenses

source_version() {  # the Debian version of a source package in the cache's key
  awk -v p="$1" '$1 == "source" && $2 == p {print $3}' "$key"
}
upstream() {  # 3.2.2+dfsg-2 -> 3.2.2
  local v=${1%-*}
  echo "${v%%+*}"
}
deb_version() { dpkg-query -W -f='${Version}' "$1"; }

wx=$(source_version wxwidgets3.2)
expat=$(source_version expat)
png=$(source_version libpng1.6)
zlib=$(deb_version libz-mingw-w64-dev)
mingw=$(deb_version mingw-w64-x86-64-dev)
gcc=$(deb_version g++-mingw-w64-x86-64-posix)
[[ -n $wx && -n $expat && -n $png ]] || { echo "third-party-notices: $key names no wxwidgets3.2, expat or libpng1.6" >&2; exit 1; }

rule='======================================================================'
section() {  # section TITLE WHERE-FROM: the heading of one library
  printf '\n\n%s\n%s\n    %s\n%s\n\n' "$rule" "$1" "$2" "$rule"
}
gcc_exception() {  # the runtime library exception, from GCC's copyright file
  sed -n '/^GCC RUNTIME LIBRARY EXCEPTION/,/^libquadmath/p' /usr/share/doc/gcc-mingw-w64-base/copyright | sed '$d'
}

{
  cat <<EOF
Orvane for Windows: third-party notices

Orvane.exe is a single program with these libraries linked into it. Each
is named below with its version and followed by its licence text.

  1. wxWidgets $(upstream "$wx"), with the NanoSVG code it bundles
  2. Expat $(upstream "$expat")
  3. libpng $(upstream "$png")
  4. zlib $(upstream "$zlib")
  5. MinGW-w64 runtime $(upstream "$mingw") (C runtime start-up, winpthreads)
  6. GCC $(upstream "$gcc") runtime libraries (libstdc++, libgcc)
EOF
  section "1. wxWidgets $(upstream "$wx")" "Debian source package wxwidgets3.2 $wx; licence: wxWindows Library Licence 3.1"
  cat "$licenses/wxwidgets.txt"
  section "1a. NanoSVG (bundled with wxWidgets $(upstream "$wx") for SVG images)" "licence: zlib"
  cat "$licenses/nanosvg.txt"
  section "2. Expat $(upstream "$expat")" "Debian source package expat $expat; licence: MIT"
  cat "$licenses/expat.txt"
  section "3. libpng $(upstream "$png")" "Debian source package libpng1.6 $png; licence: PNG Reference Library License version 2"
  cat "$licenses/libpng.txt"
  section "4. zlib $(upstream "$zlib")" "Debian package libz-mingw-w64-dev $zlib; licence: zlib (Debian's copyright file)"
  cat /usr/share/doc/libz-mingw-w64-dev/copyright
  section "5. MinGW-w64 runtime $(upstream "$mingw")" "Debian package mingw-w64-x86-64-dev $mingw; licences: ZPL-2.1, public domain, MIT and others (Debian's copyright file)"
  cat /usr/share/doc/mingw-w64-x86-64-dev/copyright
  section "6. GCC $(upstream "$gcc") runtime libraries (libstdc++, libgcc)" "Debian package g++-mingw-w64-x86-64-posix $gcc; licence: GPL-3 with the GCC Runtime Library Exception 3.1"
  gcc_exception
  printf '\n%s\n\n' "The GNU General Public License, version 3, follows."
  cat /usr/share/common-licenses/GPL-3
} | sed 's/\r$//; s/$/\r/' >"$out.part"
# CR LF: read on Windows, where older Notepads know no other line end.
mv "$out.part" "$out"
