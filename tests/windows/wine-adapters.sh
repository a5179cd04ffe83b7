#!/usr/bin/env bash
# wine-adapters.sh BUILD-DIR: the Windows program's adapter order under Wine,
# in a lab whose adapter with the default route is not the first Linux (and
# so Windows) lists: eth0 (192.168.1.23, no default route), a0 (10.9.0.5,
# the default route), b0 (no address) and d0 (down). adapter_list.exe must
# read a0 first and eth0 before the two that cannot reach anything.
# Reads only; still inside a lab, as every Wine run. Needs root; exits 77
# (skipped) otherwise.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:?usage: wine-adapters.sh BUILD-DIR}" && pwd)
[[ $(id -u) -eq 0 ]] || { echo "wine-adapters: needs root (lab namespaces); skipped"; exit 77; }

labexec=$build/host/lab-exec
if [[ ! -x $labexec || $root/tools/lab-exec.cpp -nt $labexec || $root/tools/labguard.cpp -nt $labexec ]]; then
  mkdir -p "$build/host"
  c++ -std=c++20 -O2 -I"$root" "$root/tools/lab-exec.cpp" "$root/tools/labguard.cpp" -o "$labexec"
fi

tmp=$(mktemp -d /tmp/orvane-wine-adapters.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
"$root/tools/wine-run.sh" --prefix "$build/wine-prefix" --prepare
cp -a "$build/wine-prefix" "$tmp/prefix"
rm -f "$tmp/prefix/wineserver"

# Wine's server starts in the lab with the program and is ended there.
ORVANE_LAB_QUIET=1 "$root/tools/orvane-lab" run --client 192.168.1.23/24 \
  --client-extra a0:10.9.0.5/16 --client-extra b0:none --client-extra d0:172.16.0.5/24:down \
  --gateway 10.9.0.1 --gateway-if a0 -- \
  "$labexec" env WINEPREFIX="$tmp/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64 \
  sh -c 'wine "$1"; status=$?; wineserver -k; exit $status' sh "$build/adapter_list.exe" </dev/null |
  tr -d '\r' >"$tmp/list" || { cat "$tmp/list"; echo "wine-adapters: FAILED: adapter_list.exe"; exit 1; }
sed 's/^/wine-adapters: /' "$tmp/list"
order=$(cut -d' ' -f1 "$tmp/list" | tr '\n' ' ')
[[ $order == "10.9.0.5 192.168.1.23 "* ]] || { echo "wine-adapters: FAILED: order $order"; exit 1; }
echo "wine-adapters: passed"
