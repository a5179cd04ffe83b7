#!/usr/bin/env bash
# Installs what Orvane needs, builds it (build/Orvane) and starts it. Where
# there is no usable display it starts it under Xvfb instead, saves a
# screenshot of the dialog, prints the screenshot's path and ends it.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target Orvane -j"$(nproc)"

if [[ -n ${DISPLAY:-} ]] && xwininfo -root >/dev/null 2>&1; then
  exec build/Orvane
fi
echo "run: no display; starting Orvane under Xvfb for a screenshot"
exec tools/screenshot.sh -o "$root/build/orvane-dialog.png" -- build/Orvane
