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

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:?usage: wine-smoke.sh BUILD-DIR}" && pwd)
[[ $(id -u) -eq 0 ]] || { echo "wine-smoke: needs root (lab namespaces); skipped"; exit 77; }

if [[ -z ${DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "${BASH_SOURCE[0]}" "$build"
fi

fail() { echo "wine-smoke: FAILED: $*"; exit 1; }
note() { echo "wine-smoke: $*"; }

# The guard, built for this machine (the tree itself is cross-compiled).
labexec=$build/host/lab-exec
if [[ ! -x $labexec || $root/tools/lab-exec.cpp -nt $labexec || $root/tools/labguard.cpp -nt $labexec ]]; then
  mkdir -p "$build/host"
  c++ -std=c++20 -O2 -I"$root" "$root/tools/lab-exec.cpp" "$root/tools/labguard.cpp" -o "$labexec"
fi

tmp=$(mktemp -d /tmp/orvane-wine-smoke.XXXXXX)
lab=orvw$$
pids=()
finish() {
  local pid
  for pid in "${pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
  # A failure may leave the program running: end this prefix's Wine session.
  [[ -n ${ORVANE_LAB_CLIENT:-} ]] &&
    ip netns exec "$ORVANE_LAB_CLIENT" env WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  wait 2>/dev/null || true
  ORVANE_LAB_QUIET=1 "$root/tools/orvane-lab" down "$lab" >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A fresh prefix: a copy of the tree's prepared one.
"$root/tools/wine-run.sh" --prefix "$build/wine-prefix" --prepare
prefix=$tmp/prefix
cp -a "$build/wine-prefix" "$prefix"
rm -f "$prefix/wineserver"  # where the original's server lives

eval "$(ORVANE_LAB_QUIET=1 "$root/tools/orvane-lab" up "$lab" \
  --client 192.168.1.23/24 --client-mac 02:4f:52:00:01:17 --gateway 192.168.1.1 --host 192.168.1.1)"
note "lab $ORVANE_LAB: client $ORVANE_LAB_CLIENT"

# Every datagram to the wake port that crosses the bridge.
ip netns exec "$ORVANE_LAB_BRIDGE" tcpdump -i br0 -n -U -w "$tmp/wake.pcap" udp port 5050 \
  2>"$tmp/tcpdump.err" </dev/null &
pids+=($!)
for _ in $(seq 500); do
  grep -q "listening on" "$tmp/tcpdump.err" && break
  sleep 0.02
done
grep -q "listening on" "$tmp/tcpdump.err" || fail "tcpdump did not start: $(cat "$tmp/tcpdump.err")"

inlab() {
  ip netns exec "$ORVANE_LAB_CLIENT" "$labexec" env WINEPREFIX="$prefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64 DISPLAY="$DISPLAY" "$@"
}
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
count() { tcpdump -r "$tmp/wake.pcap" -n 2>/dev/null | grep -c . || true; }
for _ in $(seq 6000); do
  (($(count) >= 1)) && break
  sleep 0.02
done

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

kill -INT "${pids[0]}"
wait "${pids[0]}" 2>/dev/null || true
pids=()
tcpdump -r "$tmp/wake.pcap" -n -e 2>/dev/null | sed 's/^/wine-smoke: captured /'
lines=$(tcpdump -r "$tmp/wake.pcap" -n 2>/dev/null)
[[ $(grep -c . <<<"$lines") == 1 ]] || fail "expected exactly one datagram on the bridge"
grep -q "> 255.255.255.255.5050: UDP, length 108" <<<"$lines" || fail "not a 108-byte broadcast to port 5050"
# The payload after the pcap headers (24 + 16) and Ethernet, IPv4, UDP (42).
payload=$(tail -c +83 "$tmp/wake.pcap" | head -c 108 | od -An -v -tx1 | tr -d ' \n')
want=ffffffffffff$(printf '024f52a0b1c2%.0s' $(seq 16))000000000000
[[ $payload == "$want" ]] || fail "payload $payload, expected $want"
note "one 108-byte wake-up datagram for 02-4F-52-A0-B1-C2 on the lab bridge"
note "passed"
