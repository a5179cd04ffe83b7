#!/usr/bin/env bash
# screenshot.sh [-o PNG] [-w WINDOW-NAME] [-t SECONDS] [-- CMD [ARGS]]
#
# Starts CMD (default: build/Orvane), waits until its window is mapped, saves
# a PNG screenshot, ends CMD and prints the PNG's path. Without a usable
# display it runs itself under Xvfb (xvfb-run), so it works on a headless
# machine too.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out=$root/build/orvane-dialog.png
window=Orvane
timeout=30
while [[ $# -gt 0 ]]; do
  case "$1" in
    -o) out=$2; shift 2 ;;
    -w) window=$2; shift 2 ;;
    -t) timeout=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "screenshot.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
cmd=("$@")
((${#cmd[@]})) || cmd=("$root/build/Orvane")
[[ $out == /* ]] || out=$PWD/$out

display_usable() { [[ -n ${DISPLAY:-} ]] && xwininfo -root >/dev/null 2>&1; }

if ! display_usable; then
  if [[ -n ${ORVANE_SHOT_XVFB:-} ]]; then
    echo "screenshot.sh: Xvfb did not come up" >&2
    exit 1
  fi
  command -v xvfb-run >/dev/null || { echo "screenshot.sh: no display and no xvfb-run (tools/install-deps.sh)" >&2; exit 1; }
  ORVANE_SHOT_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" \
    "${BASH_SOURCE[0]}" -o "$out" -w "$window" -t "$timeout" -- "${cmd[@]}"
fi

pids=()
finish() {
  local pid i
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for ((i = 0; i < 250; i++)); do
    local alive=0
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    ((alive)) || break
    sleep 0.02
  done
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap finish EXIT

# On our own Xvfb a window manager draws the caption; optional.
if [[ -n ${ORVANE_SHOT_XVFB:-} ]] && command -v openbox >/dev/null; then
  openbox </dev/null >/dev/null 2>&1 &
  pids+=($!)
  # A window mapped before the manager is ready can stay unmapped.
  for ((i = 0; i < 100; i++)); do
    [[ "$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null)" == *"window id"* ]] && break
    sleep 0.05
  done
fi

"${cmd[@]}" </dev/null &
app=$!
pids=("$app" "${pids[@]}")

# The window is there when the tree lists a mapped window with its name (the
# toolkit also keeps hidden helper windows under the program's name).
viewable_window_id() {
  local tree candidate
  tree=$(xwininfo -root -tree 2>/dev/null) || return 0
  for candidate in $(awk -v name="\"$window\"" 'index($0, name) && $1 ~ /^0x/ { print $1 }' <<<"$tree"); do
    if [[ "$(xwininfo -id "$candidate" 2>/dev/null)" == *"Map State: IsViewable"* ]]; then
      echo "$candidate"
      return 0
    fi
  done
}
id=""
deadline=$((SECONDS + timeout))
while ((SECONDS < deadline)); do
  kill -0 "$app" 2>/dev/null || { echo "screenshot.sh: ${cmd[0]} ended before its window appeared" >&2; exit 1; }
  id=$(viewable_window_id)
  [[ -z $id ]] || break
  sleep 0.1
done
[[ -n $id ]] || { echo "screenshot.sh: no window named $window after ${timeout}s" >&2; exit 1; }

# Mapped is not yet painted: give the toolkit a moment to draw.
sleep 1
mkdir -p "$(dirname "$out")"
if [[ -n ${ORVANE_SHOT_XVFB:-} ]]; then
  # The whole screen, cut to the window and its frame when they are known.
  info=$(xwininfo -id "$id" 2>/dev/null || true)
  x=$(awk '/Absolute upper-left X:/ {print $NF}' <<<"$info")
  y=$(awk '/Absolute upper-left Y:/ {print $NF}' <<<"$info")
  w=$(awk '/Width:/ {print $NF}' <<<"$info")
  h=$(awk '/Height:/ {print $NF}' <<<"$info")
  read -r l r t b < <(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null |
    sed -n 's/.*= *//p' | tr -d ',') || true
  crop=()
  if [[ $x =~ ^[0-9]+$ && $y =~ ^[0-9]+$ && $w =~ ^[0-9]+$ && $h =~ ^[0-9]+$ ]]; then
    [[ ${l:-} =~ ^[0-9]+$ && ${r:-} =~ ^[0-9]+$ && ${t:-} =~ ^[0-9]+$ && ${b:-} =~ ^[0-9]+$ ]] || { l=0 r=0 t=0 b=0; }
    if ((x >= l && y >= t)); then
      crop=(-crop "$((w + l + r))x$((h + t + b))+$((x - l))+$((y - t))" +repage)
    fi
  fi
  import -window root "${crop[@]}" "$out"
else
  import -window "$id" "$out"
fi
echo "screenshot: $out"
