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

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:?usage: wine-wake.sh BUILD-DIR}" && pwd)
[[ $(id -u) -eq 0 ]] || { echo "wine-wake: needs root (lab namespaces); skipped"; exit 77; }

fail() { echo "wine-wake: FAILED: $*"; exit 1; }
note() { echo "wine-wake: $*"; }

labexec=$build/host/lab-exec
if [[ ! -x $labexec || $root/tools/lab-exec.cpp -nt $labexec || $root/tools/labguard.cpp -nt $labexec ]]; then
  mkdir -p "$build/host"
  c++ -std=c++20 -O2 -I"$root" "$root/tools/lab-exec.cpp" "$root/tools/labguard.cpp" -o "$labexec.$$"
  mv "$labexec.$$" "$labexec"
fi

tmp=$(mktemp -d /tmp/orvane-wine-wake.XXXXXX)
lab=orvk$$
capture=
finish() {
  [[ -z $capture ]] || { kill -INT "$capture" 2>/dev/null || true; wait "$capture" 2>/dev/null || true; }
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

eval "$(ORVANE_LAB_QUIET=1 "$root/tools/orvane-lab" up "$lab" --client 192.168.1.23/24 --host 192.168.1.1)"

ip netns exec "$ORVANE_LAB_BRIDGE" tcpdump -i br0 -n -U -w "$tmp/wake.pcap" udp port 5050 \
  2>"$tmp/tcpdump.err" </dev/null &
capture=$!
for _ in $(seq 500); do
  grep -q "listening on" "$tmp/tcpdump.err" && break
  sleep 0.02
done
grep -q "listening on" "$tmp/tcpdump.err" || fail "tcpdump did not start: $(cat "$tmp/tcpdump.err")"

# No DISPLAY: the command must not need one.
orvane() {
  ip netns exec "$ORVANE_LAB_CLIENT" "$labexec" env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$prefix" \
    WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64 wine "$build/Orvane.exe" "$@" </dev/null
}

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
count() { tcpdump -r "$tmp/wake.pcap" -n 2>/dev/null | grep -c . || true; }
for _ in $(seq 250); do
  (($(count) >= 1)) && break
  sleep 0.02
done
kill -INT "$capture"
wait "$capture" 2>/dev/null || true
capture=
lines=$(tcpdump -r "$tmp/wake.pcap" -n 2>/dev/null)
echo "$lines" | sed 's/^/wine-wake: captured /'
[[ $(grep -c . <<<"$lines") == 1 ]] || fail "expected exactly one datagram on the bridge"
grep -q "192.168.1.23.* > 255.255.255.255.5050: UDP, length 108" <<<"$lines" ||
  fail "not a 108-byte broadcast to port 5050 from the lab adapter"
payload=$(tail -c +83 "$tmp/wake.pcap" | head -c 108 | od -An -v -tx1 | tr -d ' \n')
want=ffffffffffff$(printf '024f52a0b1c3%.0s' $(seq 16))000000000000
[[ $payload == "$want" ]] || fail "payload $payload, expected $want"
note "one 108-byte wake-up datagram for 02-4F-52-A0-B1-C3 on the lab bridge"
note "passed"
