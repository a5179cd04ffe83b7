#!/usr/bin/env bash
# wine-adapters.sh BUILD-DIR: the Windows program's adapter order under Wine,
# in a lab whose adapter with the default route is not the first Linux (and
# so Windows) lists: eth0 (192.168.1.23, no default route), a0 (10.9.0.5,
# the default route), b0 (no address) and d0 (down). adapter_list.exe must
# read a0 first and eth0 before the two that cannot reach anything.
# Reads only; still inside a lab, as every Wine run. Needs root; exits 77
# (skipped) otherwise.
set -euo pipefail

build=$(cd "${1:?usage: wine-adapters.sh BUILD-DIR}" && pwd)
# shellcheck source=tests/windows/wine-lab.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-lab.sh"
wine_lab_init wine-adapters "$build"
wine_lab_setup
wine_lab_up "orva$$" --client 192.168.1.23/24 \
  --client-extra a0:10.9.0.5/16 --client-extra b0:none --client-extra d0:172.16.0.5/24:down \
  --gateway 10.9.0.1 --gateway-if a0

inlab wine "$build/adapter_list.exe" </dev/null | tr -d '\r' >"$tmp/list" || {
  cat "$tmp/list"
  fail "adapter_list.exe"
}
sed 's/^/wine-adapters: /' "$tmp/list"
order=$(cut -d' ' -f1 "$tmp/list" | tr '\n' ' ')
[[ $order == "10.9.0.5 192.168.1.23 "* ]] || fail "order $order"
note "passed"
