#!/usr/bin/env bash
# wine-smoke.sh BUILD-DIR: the Windows program under Wine, in a lab.
#
# Builds a lab (tools/orvane-lab), starts BUILD-DIR/Orvane.exe in its client
# namespace under Xvfb and checks, driving the dialog with dialog_driver.exe:
# the dialog comes up with the lab client's adapter in its fields (screenshot:
# BUILD-DIR/wine-dialog.png), Tab visits every control in the template's
# order, eight Tabs and twelve typed digits fill the octet fields and leave
# the focus on Wake, Space there puts exactly one 108-byte datagram with that
# MAC on the lab's bridge (captured there), Exit ends the process with status
# 0, and in a copy with a Chinese name Wake with empty fields gives the
# message box, captioned with that name.
#
# Network safety: the whole Wine session (wineserver, which creates the
# sockets, and every Windows process) starts inside the lab, through
# lab-exec, in a fresh copy of the prefix, so no server outside can serve it;
# that is checked again before Wake. Needs root; exits 77 (skipped) otherwise.
set -euo pipefail

build=$(cd "${1:?usage: wine-smoke.sh BUILD-DIR}" && pwd)
# shellcheck source=tests/windows/wine-lab.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-lab.sh"
wine_lab_init wine-smoke "$build"
wine_lab_need_display "$build"
wine_lab_setup
wine_lab_up "orvw$$" \
  --client 192.168.1.23/24 --client-mac 02:4f:52:00:01:17 --gateway 192.168.1.1 --host 192.168.1.1
note "lab $ORVANE_LAB: client $ORVANE_LAB_CLIENT"

wine_lab_capture

# Wine's console ends lines with CR LF.
driver() { inlab wine "$build/dialog_driver.exe" "$@" </dev/null | tr -d '\r'; }

inlab wine "$build/Orvane.exe" </dev/null >"$tmp/orvane.out" 2>&1 &
orvane=$!

# 1. The dialog and the adapter fields.
fields=$(driver fields) || fail "the dialog did not come up"
echo "$fields" | sed 's/^/wine-smoke: field /'
for want in "1002=192.168.1.23" "1003=02-4F-52-00-01-17" "1004=255.255.255.0" "1005=192.168.1.1"; do
  grep -qxF "$want" <<<"$fields" || fail "adapter field: expected $want"
done
grep -qE '^1001=.+' <<<"$fields" || fail "the adapter name is empty"
window=$(xwininfo -root -tree | awk '/"Orvane"/ {print $1; exit}')
[[ -n $window ]] && import -window "$window" "$build/wine-dialog.png" &&
  note "screenshot: $build/wine-dialog.png"

# Wine's sockets are made by its server: it must run in the lab, like us.
lab_net=$(stat -L -c %i "/run/netns/$ORVANE_LAB_CLIENT")
servers=0
# A server works in /tmp/wine-*/server-<device>-<inode of the prefix>.
server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
for pid in $(pgrep wineserver || true); do
  [[ $(readlink "/proc/$pid/cwd" 2>/dev/null) == */"$server_dir" ]] || continue
  servers=$((servers + 1))
  [[ $(stat -L -c %i "/proc/$pid/ns/net") == "$lab_net" ]] || fail "a wineserver of this prefix runs outside the lab"
done
((servers == 1)) || fail "expected one wineserver for this prefix, found $servers"

# 2. Tab from the list through every control, the read-only adapter fields
# included, and back.
order=$(driver tab-cycle) || fail "Tab did not go round the dialog"
order=$(tr '\n' ' ' <<<"$order")
note "tab order: $order"
[[ $order == "focus=1000 tab=1001 tab=1002 tab=1003 tab=1004 tab=1005 tab=1013 tab=1014 \
tab=1006 tab=1007 tab=1008 tab=1009 tab=1010 tab=1011 tab=1012 tab=1 tab=1000 " ]] ||
  fail "tab order"

# 3. Eight Tabs to the first octet field and twelve digits, lower-case letters
# included: six upper-case octets, focus on Wake.
typed=$(driver keys tab tab tab tab tab tab tab tab 024f52a0b1c2) || fail "typing the MAC failed"
echo "$typed" | sed 's/^/wine-smoke: typed /'
for want in 1006=02 1007=4F 1008=52 1009=A0 1010=B1 1011=C2 focus=1012; do
  grep -qxF "$want" <<<"$typed" || fail "octet entry: expected $want"
done

# 4. Space on Wake: exactly one datagram on the bridge.
driver keys space >/dev/null || fail "Space could not be pressed"
wine_lab_wait_datagram 6000

# 5. Exit: the process ends with status 0.
driver exit || fail "Exit could not be clicked"
status=0
wait "$orvane" || status=$?
((status == 0)) || fail "Orvane.exe ended with status $status: $(cat "$tmp/orvane.out")"
note "Orvane.exe ended with status 0"

# 6. A copy renamed in Chinese (outside the ANSI code page): Wake with empty
# fields gives the message box, captioned with that name.
cp "$build/Orvane.exe" "$tmp/唤醒工具.exe"
inlab wine "$tmp/唤醒工具.exe" </dev/null >"$tmp/renamed.out" 2>&1 &
orvane=$!
box=$(driver wake-empty) || fail "no message box for empty fields"
echo "$box" | sed 's/^/wine-smoke: box /'
grep -qxF "text=You should fill in all MAC address fields" <<<"$box" || fail "wrong message box text"
grep -qxF "caption=唤醒工具" <<<"$box" || fail "wrong message box caption"
driver exit || fail "Exit could not be clicked"
wait "$orvane" || fail "the renamed copy ended with a failure: $(cat "$tmp/renamed.out")"
note "a copy named 唤醒工具.exe captions its boxes 唤醒工具"

wine_lab_capture_stop
tcpdump -r "$tmp/wake.pcap" -n -e 2>/dev/null | sed 's/^/wine-smoke: captured /'
lines=$(tcpdump -r "$tmp/wake.pcap" -n 2>/dev/null)
[[ $(grep -c . <<<"$lines") == 1 ]] || fail "expected exactly one datagram on the bridge"
grep -q "> 255.255.255.255.5050: UDP, length 108" <<<"$lines" || fail "not a 108-byte broadcast to port 5050"
wine_lab_check_payload 024f52a0b1c2
note "one 108-byte wake-up datagram for 02-4F-52-A0-B1-C2 on the lab bridge"
note "passed"
