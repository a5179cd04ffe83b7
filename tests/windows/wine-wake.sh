#!/usr/bin/env bash
# wine-wake.sh BUILD-DIR: `Orvane.exe wake MAC` under Wine, in a lab, with no
# display: the command attaches to no window, ends with status 0, and puts
# exactly one 108-byte wake-up datagram for MAC on the lab's bridge; a bad
# MAC gives status 2 and sends nothing.
#
# Network safety as in wine-smoke.sh: the whole Wine session starts inside
# the lab, through lab-exec, in a fresh copy of the prefix. Needs root;
# exits 77 (skipped) otherwise.
set -euo pipefail

build=$(cd "${1:?usage: wine-wake.sh BUILD-DIR}" && pwd)
# shellcheck source=tests/windows/wine-lab.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-lab.sh"
wine_lab_init wine-wake "$build"
wine_lab_setup
wine_lab_up "orvk$$" --client 192.168.1.23/24 --host 192.168.1.1
wine_lab_capture

# No DISPLAY: the command must not need one.
orvane() { inlab env -u DISPLAY -u WAYLAND_DISPLAY wine "$build/Orvane.exe" "$@" </dev/null; }

status=0
orvane wake 02:4f:52:00:00:01 02:4f:52:00 >"$tmp/bad.out" 2>&1 || status=$?
((status == 2)) || fail "a bad MAC: status $status, expected 2: $(cat "$tmp/bad.out")"
grep -q "'02:4f:52:00' is not a MAC address" "$tmp/bad.out" || fail "no message naming the bad MAC: $(cat "$tmp/bad.out")"

status=0
orvane wake 02-4F-52-A0-B1-C3 >"$tmp/wake.out" 2>&1 || status=$?
((status == 0)) || fail "wake: status $status: $(cat "$tmp/wake.out")"
note "Orvane.exe wake ended with status 0"

# The datagram left before the program ended; tcpdump writes each packet
# as it sees it (-U).
wine_lab_wait_datagram 250
wine_lab_capture_stop
lines=$(tcpdump -r "$tmp/wake.pcap" -n 2>/dev/null)
echo "$lines" | sed 's/^/wine-wake: captured /'
[[ $(grep -c . <<<"$lines") == 1 ]] || fail "expected exactly one datagram on the bridge"
grep -q "192.168.1.23.* > 255.255.255.255.5050: UDP, length 108" <<<"$lines" ||
  fail "not a 108-byte broadcast to port 5050 from the lab adapter"
wine_lab_check_payload 024f52a0b1c3
note "one 108-byte wake-up datagram for 02-4F-52-A0-B1-C3 on the lab bridge"
note "passed"
