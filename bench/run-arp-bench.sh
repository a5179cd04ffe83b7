#!/usr/bin/env bash
# Times SendARP in a lab both ways, from the arp-probe program's own
# per-call figures: as root (the packet socket) and as an ordinary user (the
# kernel's neighbour table). 20 silent addresses, 20 live ones, then the
# same 20 again (known to the kernel by then); medians in milliseconds. Also
# the spacing of the two requests the packet path sends for a silent address.
# Needs root (the lab) and a built tree (target orvane-arp-probe).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
answers=()
for o in $(seq 110 129); do answers+=("--answer 192.168.1.$o=02:4f:52:00:00:$(printf %02x "$o")"); done
export ORVANE_ARP_RESPONDER=${ORVANE_ARP_RESPONDER:-$build/tools/arp-responder}
exec "$here/tools/orvane-lab" run --responder "${answers[*]}" -- bash -c '
  probe=$1
  silent=$(seq -f "192.168.1.%g" 60 79)
  live=$(seq -f "192.168.1.%g" 110 129)
  median() { sort -n | awk "{v[NR]=\$1} END {printf \"%.3f\", NR % 2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}"; }
  ms() { awk "{print \$5/1000}"; }
  report() {  # label, probe output of silent, live and live again
    local out=$2
    printf "%-13s silent %s ms, live %s ms, known %s ms\n" "$1" \
      "$(sed -n 1,20p <<<"$out" | ms | median)" "$(sed -n 21,40p <<<"$out" | ms | median)" \
      "$(sed -n 41,60p <<<"$out" | ms | median)"
  }
  report privileged "$("$probe" $silent $live $live)"
  ip neigh flush dev "$ORVANE_LAB_CLIENT_IF" >/dev/null 2>&1 || true
  report unprivileged "$(setpriv --reuid=65534 --regid=65534 --clear-groups -- "$probe" $silent $live $live)"
  # The packet path asks twice for a silent address: the spacing on the bridge.
  cap=$(mktemp)
  ip netns exec "$ORVANE_LAB_BRIDGE" timeout 5 tcpdump -tt -n -l -i br0 -c 2 "arp and host 192.168.1.99" \
    >"$cap" 2>/dev/null &
  sleep 1
  "$probe" 192.168.1.99 >/dev/null
  wait || true
  awk "NR==1{a=\$1} NR==2{printf \"resend after  %.1f ms\n\", (\$1-a)*1000}" "$cap"
  rm -f "$cap"
' bench "$build/tests/net/orvane-arp-probe"
