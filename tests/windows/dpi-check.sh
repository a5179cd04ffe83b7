#!/usr/bin/env bash
# dpi-check.sh BUILD-DIR [DPI]: Orvane.exe under Wine with the display at DPI
# (default 144, Windows' 150 %), checked by dpi_check.exe: no control
# overlaps another or crosses a group box, no label, button or caption is
# cut, each octet field shows two digits. Screenshot:
# BUILD-DIR/wine-dialog-<DPI>dpi.png.
#
# Wine runs in a lab (tools/orvane-lab), like wine-smoke.sh: the program
# reads its adapter there, and nothing is pressed. Needs root; exits 77
# (skipped) otherwise.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:?usage: dpi-check.sh BUILD-DIR [DPI]}" && pwd)
dpi=${2:-144}
[[ $(id -u) -eq 0 ]] || { echo "dpi-check: needs root (lab namespaces); skipped"; exit 77; }
if [[ -z ${DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "${BASH_SOURCE[0]}" "$build" "$dpi"
fi
fail() { echo "dpi-check: FAILED: $*"; exit 1; }

labexec=$build/host/lab-exec
if [[ ! -x $labexec || $root/tools/lab-exec.cpp -nt $labexec || $root/tools/labguard.cpp -nt $labexec ]]; then
  mkdir -p "$build/host"
  c++ -std=c++20 -O2 -I"$root" "$root/tools/lab-exec.cpp" "$root/tools/labguard.cpp" -o "$labexec"
fi

tmp=$(mktemp -d /tmp/orvane-dpi-check.XXXXXX)
lab=orvd$$
orvane=""
finish() {
  [[ -z ${ORVANE_LAB_CLIENT:-} ]] || inlab wineserver -k >/dev/null 2>&1 || true
  [[ -z $orvane ]] || wait "$orvane" 2>/dev/null || true
  ORVANE_LAB_QUIET=1 "$root/tools/orvane-lab" down "$lab" >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$root/tools/wine-run.sh" --prefix "$build/wine-prefix" --prepare
prefix=$tmp/prefix
cp -a "$build/wine-prefix" "$prefix"
rm -f "$prefix/wineserver"

eval "$(ORVANE_LAB_QUIET=1 "$root/tools/orvane-lab" up "$lab")"
inlab() {
  ip netns exec "$ORVANE_LAB_CLIENT" "$labexec" env WINEPREFIX="$prefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64 DISPLAY="$DISPLAY" "$@"
}

# The display's DPI, where Windows and Wine keep it.
inlab wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
inlab wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
  /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
inlab wineserver -w

inlab wine "$build/Orvane.exe" </dev/null >"$tmp/orvane.out" 2>&1 &
orvane=$!
status=0
inlab wine "$build/dpi_check.exe" </dev/null | tr -d '\r' | tee "$tmp/check.out" | sed 's/^/dpi-check: /' || status=$?
grep -qx "dpi $dpi" "$tmp/check.out" || fail "Wine did not draw at $dpi DPI: $(head -1 "$tmp/check.out")"

window=$(xwininfo -root -tree | awk '/"Orvane"/ {print $1; exit}')
if [[ -n $window ]]; then
  sleep 1  # mapped is not yet painted
  import -window "$window" "$build/wine-dialog-${dpi}dpi.png" && echo "dpi-check: screenshot: $build/wine-dialog-${dpi}dpi.png"
fi
((status == 0)) || fail "the dialog's layout at $dpi DPI"
echo "dpi-check: passed at $dpi DPI"
