#!/usr/bin/env bash
# A safe place to try Scan and Wake: builds Orvane, then a lab network in
# namespaces (nothing reaches this machine's real network) and starts Orvane
# inside the lab's client namespace. The lab's segment 192.168.1.0/24 holds
#   192.168.1.1, .10, .77   kernel test hosts (a gateway and two machines)
#   192.168.1.100, .150     answered by the fake ARP responder (.150 a bit late)
#   192.168.1.200           answered twice, with two different MACs
# Wake-up datagrams that reach the lab's bridge are printed here.
# Needs root (network namespaces). Without a display, the dialog is started
# under Xvfb, a screenshot is saved and its path printed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
[[ $(id -u) -eq 0 ]] || { echo "demo: needs root (it builds network namespaces)"; exit 1; }

tools/install-deps.sh --test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target Orvane arp-responder -j"$(nproc)"

name=orvdemo$$
export ORVANE_ARP_RESPONDER=$root/build/tools/arp-responder
down() { tools/orvane-lab down "$name" >/dev/null 2>&1 || true; }
trap down EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

eval "$(tools/orvane-lab up "$name" \
  --client 192.168.1.23/24 --gateway 192.168.1.1 \
  --host 192.168.1.1 --host 192.168.1.10 --host 192.168.1.77 \
  --responder "--answer 192.168.1.100=02:4f:52:00:00:64 --answer 192.168.1.150=02:4f:52:00:00:96,delay=20 --answer 192.168.1.200=02:4f:52:00:00:c8,twice=02:4f:52:00:01:c8")"

echo "demo: lab $ORVANE_LAB: client $ORVANE_LAB_CLIENT ($ORVANE_LAB_CLIENT_IP, $ORVANE_LAB_CLIENT_MAC)"
echo "demo: hosts $ORVANE_LAB_HOST_IPS (MACs $ORVANE_LAB_HOST_MACS)"
echo "demo: simulated 192.168.1.100, 192.168.1.150 (late), 192.168.1.200 (two MACs)"

# Show every wake-up datagram that crosses the lab's bridge.
if command -v tcpdump >/dev/null; then
  ip netns exec "$ORVANE_LAB_BRIDGE" tcpdump -l -n -e -i br0 udp port 5050 2>/dev/null \
    </dev/null | sed -u '/^$/d; s/^/demo: wake seen on the lab bridge: /' &
fi

client=(ip netns exec "$ORVANE_LAB_CLIENT" "$root/build/Orvane")
if [[ -n ${DISPLAY:-} ]] && xwininfo -root >/dev/null 2>&1; then
  # The client namespace reaches a local X server through its file socket.
  "${client[@]}" || true
else
  echo "demo: no display; starting Orvane in the lab under Xvfb for a screenshot"
  tools/screenshot.sh -o "$root/build/orvane-demo.png" -- "${client[@]}"
fi
