#!/usr/bin/env bash
# Sweeps a lab /24 with five answering hosts besides the client (248 silent
# addresses) and prints the figures. Needs root (the lab) and a built tree.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
hosts=()
for h in 1 40 77 150 201; do hosts+=(--host "192.168.1.$h"); done
exec "$here/tools/orvane-lab" run --client 192.168.1.23/24 --gateway 192.168.1.1 "${hosts[@]}" -- \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench/sweep_bench"
