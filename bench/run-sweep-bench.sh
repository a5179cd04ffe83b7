#!/usr/bin/env bash
# Sweeps a lab /24 with five answering hosts besides the client (248 silent
# addresses) and prints the figures; then closes a /8 sweep and prints how
# long its worker takes to end. Needs root (the lab) and a built tree.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
hosts=()
for h in 1 40 77 150 201; do hosts+=(--host "192.168.1.$h"); done
"$here/tools/orvane-lab" run --client 192.168.1.23/24 --gateway 192.168.1.1 "${hosts[@]}" -- \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/sweep_bench"
exec "$here/tools/orvane-lab" run --client 10.1.2.3/8 --gateway 10.0.0.1 --host 10.0.0.1 -- \
    "$build/bench/stop_bench"
