#!/usr/bin/env bash
# release-files-check.sh BUILD-DIR: the shipped Orvane.exe (BUILD-DIR/dist)
# carries its version resource and the per-monitor DPI-aware manifest, and
# every library linked into it is named, with a version, in the
# THIRD-PARTY-NOTICES.txt that ships with it. The
# libraries are read from the link map (BUILD-DIR/Orvane.map): each archive
# a member was taken from. Import libraries of Windows' own DLLs need no
# notice; any other archive this script does not know fails the check, so a
# new library cannot slip in without its notice.
set -euo pipefail

build=${1:?usage: release-files-check.sh BUILD-DIR}
map=$build/Orvane.map
notices=$build/dist/THIRD-PARTY-NOTICES.txt
exe=$build/dist/Orvane.exe
[[ -f $map && -f $notices && -f $exe ]] || { echo "release-files-check: $map, $notices or $exe missing"; exit 1; }
faults=0

# The version resource's strings are UTF-16; each name is followed by its value.
strings=$(strings -el "$exe")
for name in ProductName CompanyName LegalCopyright FileDescription FileVersion ProductVersion; do
  value=$(grep -A1 -xF "$name" <<<"$strings" | sed -n 2p)
  if [[ -n $value ]]; then
    echo "release-files-check: $name: $value"
  else
    echo "release-files-check: the version resource has no $name"
    faults=$((faults + 1))
  fi
done
if strings "$exe" | grep '<dpiAwareness[^>]*>PerMonitorV2' >/dev/null; then
  echo "release-files-check: manifest: per-monitor DPI aware (PerMonitorV2)"
else
  echo "release-files-check: the manifest does not declare PerMonitorV2 DPI awareness"
  faults=$((faults + 1))
fi

# archive(member) pairs from the map's "Archive member included" part.
pairs=$(sed -n '/^Archive member included/,/^Discarded input sections/p' "$map" |
  grep -oE '^[^ (]+\.a\([^)]+\)' | sort -u)
[[ -n $pairs ]] || { echo "release-files-check: no archive in $map"; exit 1; }

declare -A wanted=()
while read -r archive; do
  name=$(basename "$archive")
  [[ $archive == /* && $archive != "$build"/* ]] || continue  # the program's own (in the build tree)
  case "$name" in
    libwx_*)
      wanted["wxWidgets"]=1
      ! grep -qF "$archive(corelib_bmpsvg" <<<"$pairs" || wanted["NanoSVG"]=1
      ;;
    libwxregex*) wanted["wxWidgets"]=1; wanted["PCRE2"]=1 ;;
    libexpat*.a) wanted["Expat"]=1 ;;
    libpng*.a) wanted["libpng"]=1 ;;
    libz.a) wanted["zlib"]=1 ;;
    libstdc++.a | libgcc.a | libgcc_eh.a | libssp*.a | libatomic.a | libquadmath.a) wanted["GCC"]=1 ;;
    libmingw32.a | libmingwex.a | libmoldname.a | libmsvcrt.a | libwinpthread.a | libpthread.a | libuuid.a | libucrt*.a) wanted["MinGW-w64 runtime"]=1 ;;
    *)
      # An import library: every member taken from it is a DLL stub
      # (dlltool's dNNNNNN.o / xxxNNNNN.o, or its head and tail).
      members=$(grep -F "$archive(" <<<"$pairs" | sed -E 's/.*\(([^)]*)\)$/\1/')
      if grep -qvE '^([a-z0-9_]*[st][0-9]+|d[0-9]+|.*_iname|.*_head.*|.*h\.o|.*t\.o)(\.o)?$' <<<"$members"; then
        echo "release-files-check: $name is linked in, and the notices do not name it: $(tr '\n' ' ' <<<"$members")"
        faults=$((faults + 1))
      fi
      ;;
  esac
done < <(sed -E 's/\([^)]*\)$//' <<<"$pairs" | sort -u)

for lib in "${!wanted[@]}"; do
  # "N. Name VERSION ..." (a bundled part: the version it is bundled with)
  heading="^[0-9]+[a-z]?\. $lib [^\r]*[0-9]+\.[0-9]+"
  if grep -qE "$heading" "$notices"; then
    echo "release-files-check: $lib: $(grep -m1 -oE "$heading" "$notices")"
  else
    echo "release-files-check: $lib is linked in, and THIRD-PARTY-NOTICES.txt has no section \"N. $lib VERSION\""
    faults=$((faults + 1))
  fi
done
((faults == 0)) || exit 1
echo "release-files-check: ${#wanted[@]} libraries, each named with its version"
