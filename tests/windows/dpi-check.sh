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

build=$(cd "${1:?usage: dpi-check.sh BUILD-DIR [DPI]}" && pwd)
dpi=${2:-144}
# shellcheck source=tests/windows/wine-lab.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-lab.sh"
wine_lab_init dpi-check "$build"
wine_lab_need_display "$build" "$dpi"
wine_lab_setup
wine_lab_up "orvd$$"

# The display's DPI, where Windows and Wine keep it.
inlab wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
inlab wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
  /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
inlab wineserver -w

inlab wine "$build/Orvane.exe" </dev/null >"$tmp/orvane.out" 2>&1 &
status=0
inlab wine "$build/dpi_check.exe" </dev/null | tr -d '\r' | tee "$tmp/check.out" | sed 's/^/dpi-check: /' || status=$?
grep -qx "dpi $dpi" "$tmp/check.out" || fail "Wine did not draw at $dpi DPI: $(head -1 "$tmp/check.out")"

window=$(xwininfo -root -tree | awk '/"Orvane"/ {print $1; exit}')
if [[ -n $window ]]; then
  sleep 1  # mapped is not yet painted
  import -window "$window" "$build/wine-dialog-${dpi}dpi.png" && note "screenshot: $build/wine-dialog-${dpi}dpi.png"
fi
((status == 0)) || fail "the dialog's layout at $dpi DPI"
note "passed at $dpi DPI"
