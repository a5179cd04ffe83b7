# shellcheck shell=bash
# wine-lab.sh: sourced by the Wine tests in this folder; defines functions
# and nothing else. Each test runs its whole Wine session (wineserver, which
# makes the sockets, and every Windows process) inside a lab
# (tools/orvane-lab), through lab-exec, in a fresh copy of the tree's
# prefix, so that no server outside the lab can serve it.
#
#   wine_lab_init NAME BUILD-DIR  NAME starts every message (note, fail);
#                                 sets root and build; exits 77 (skipped)
#                                 unless root
#   wine_lab_need_display [ARGS]  without a display, runs the test again
#                                 under Xvfb with ARGS
#   wine_lab_setup [PREFIX]       builds lab-exec (labexec), makes tmp,
#                                 cleans up on exit (the capture, the Wine
#                                 session, the lab, tmp) and copies the
#                                 tree's prepared prefix to $tmp/PREFIX
#                                 [prefix] (prefix)
#   wine_lab_up LAB [TOPOLOGY]    builds the lab LAB (the ORVANE_LAB_* names)
#                                 and starts the prefix's server in it
#   inlab CMD [ARGS]              CMD in the lab's client, on the prefix
#   wine_lab_capture              captures every datagram to the wake port
#                                 on the lab's bridge in $tmp/wake.pcap
#   wine_lab_wait_datagram TRIES  waits for the first one (TRIES looks, 20 ms
#                                 apart); the caller counts them after
#   wine_lab_capture_stop         ends the capture
#   wine_lab_check_payload MAC    the first one is the wake-up datagram for
#                                 MAC (12 lower-case hex digits)

note() { echo "$wine_lab_name: $*"; }
fail() {
  echo "$wine_lab_name: FAILED: $*"
  exit 1
}

wine_lab_init() {
  wine_lab_name=$1
  build=$2
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  [[ $(id -u) -eq 0 ]] || {
    note "needs root (lab namespaces); skipped"
    exit 77
  }
}

wine_lab_need_display() {
  [[ -n ${DISPLAY:-} ]] || exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
}

# shellcheck disable=SC2120 # PREFIX is optional
wine_lab_setup() {
  # The guard, built for this machine (the tree itself is cross-compiled);
  # renamed into place so that a test started beside this one never runs
  # half of it.
  labexec=$build/host/lab-exec
  if [[ ! -x $labexec || $root/tools/lab-exec.cpp -nt $labexec || $root/tools/labguard.cpp -nt $labexec ]]; then
    mkdir -p "$build/host"
    c++ -std=c++20 -O2 -I"$root" "$root/tools/lab-exec.cpp" "$root/tools/labguard.cpp" -o "$labexec.$$"
    mv "$labexec.$$" "$labexec"
  fi

  tmp=$(mktemp -d "/tmp/orvane-$wine_lab_name.XXXXXX")
  lab=
  wine_lab_capture_pid=
  trap wine_lab_finish EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM

  "$root/tools/wine-run.sh" --prefix "$build/wine-prefix" --prepare
  prefix=$tmp/${1:-prefix}
  mkdir -p "$(dirname "$prefix")"
  cp -a "$build/wine-prefix" "$prefix"
  rm -f "$prefix/wineserver" # where the original's server lives
}

wine_lab_finish() {
  [[ -z $wine_lab_capture_pid ]] || kill -INT "$wine_lab_capture_pid" 2>/dev/null || true
  # A failure may leave a program running: end this prefix's Wine session.
  [[ -z ${ORVANE_LAB_CLIENT:-} ]] || inlab wineserver -k >/dev/null 2>&1 || true
  wait 2>/dev/null || true
  [[ -z $lab ]] || ORVANE_LAB_QUIET=1 "$root/tools/orvane-lab" down "$lab" >/dev/null 2>&1 || true
  rm -rf "$tmp"
}

wine_lab_up() {
  lab=$1
  shift
  eval "$(ORVANE_LAB_QUIET=1 "$root/tools/orvane-lab" up "$lab" "$@")"
  # Two first clients of a fresh prefix started together may each make a
  # server directory, and the one that loses dies: the server comes first.
  inlab wineserver
}

inlab() {
  ip netns exec "$ORVANE_LAB_CLIENT" "$labexec" env WINEPREFIX="$prefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64 "$@"
}

wine_lab_capture() {
  ip netns exec "$ORVANE_LAB_BRIDGE" tcpdump -i br0 -n -U -w "$tmp/wake.pcap" udp port 5050 \
    2>"$tmp/tcpdump.err" </dev/null &
  wine_lab_capture_pid=$!
  local _
  for _ in $(seq 500); do
    grep -q "listening on" "$tmp/tcpdump.err" && break
    sleep 0.02
  done
  grep -q "listening on" "$tmp/tcpdump.err" || fail "tcpdump did not start: $(cat "$tmp/tcpdump.err")"
}

wine_lab_wait_datagram() {
  local _
  for _ in $(seq "$1"); do
    (($(tcpdump -r "$tmp/wake.pcap" -n 2>/dev/null | grep -c . || true) >= 1)) && break
    sleep 0.02
  done
}

wine_lab_capture_stop() {
  kill -INT "$wine_lab_capture_pid"
  wait "$wine_lab_capture_pid" 2>/dev/null || true
  wine_lab_capture_pid=
}

wine_lab_check_payload() {
  local payload want _
  # After the pcap headers (24 + 16) and Ethernet, IPv4, UDP (42).
  payload=$(tail -c +83 "$tmp/wake.pcap" | head -c 108 | od -An -v -tx1 | tr -d ' \n')
  want=ffffffffffff
  for _ in $(seq 16); do want+=$1; done
  want+=000000000000
  [[ $payload == "$want" ]] || fail "payload $payload, expected $want"
}
