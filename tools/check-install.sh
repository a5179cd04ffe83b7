#!/usr/bin/env bash
# check-install.sh [SUITE] [PACKAGE.deb]
#
# Installs the Debian package into a fresh minimal Debian root of SUITE
# (bookworm, the default, or trixie: Debian 12 or 13), the way a user would
# (apt-get install ./orvane_*.deb, dependencies from the Debian mirror this
# machine uses), and checks there:
#   - /usr/bin/orvane has CAP_NET_RAW in its permitted set (getcap);
#   - the menu entry, icons, AppStream data and manual page are where the
#     desktop and man look for them, and the icon theme's cache knows the icon;
#   - orvane, started as an ordinary user from its menu entry, shows its
#     window under Xvfb, with CAP_NET_RAW permitted but not effective
#     (screenshot saved);
#   - apt-get purge orvane leaves no file of the package behind.
# Without an argument it builds the package first (tools/build-deb.sh).
#
# The minimal root (debootstrap --variant=minbase SUITE) is kept as a tar
# file in /var/cache/orvane, with the downloaded packages, so later runs
# skip debootstrap. Needs root. Sends nothing on any network: the program
# runs in a network namespace of its own with only a loopback interface,
# and nobody presses Scan or Wake; only apt talks to the mirror.
# ORVANE_CHECK_KEEP=1 keeps the root (in /var/tmp) for a look afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(dirname "$here")
cache=${ORVANE_CHECK_CACHE:-/var/cache/orvane}
suite=bookworm
case "${1:-}" in
  bookworm | trixie) suite=$1; shift ;;
  *.deb | "") ;;
  *) echo "usage: $0 [bookworm | trixie] [PACKAGE.deb]" >&2; exit 2 ;;
esac
base_tar=$cache/$suite-root.tar
shot=${ORVANE_CHECK_SHOT:-$top/build-deb/check-install-$suite.png}

[[ $(id -u) -eq 0 ]] || { echo "check-install: needs root (debootstrap, chroot, mounts)" >&2; exit 2; }

# Every mount below happens in a mount namespace of our own: whatever way
# the script ends, the kernel takes them away with it, and the machine's
# own mount table never sees them.
if [[ -z ${ORVANE_CHECK_PRIVATE:-} ]]; then
  ORVANE_CHECK_PRIVATE=1 exec unshare --mount --propagation private "${BASH_SOURCE[0]}" "$suite" "$@"
fi

deb=${1:-}
if [[ -z $deb ]]; then
  echo "=== tools/build-deb.sh"
  build_log=$(mktemp)
  deb=$("$here/build-deb.sh" 2>"$build_log") || { tail -30 "$build_log"; rm -f "$build_log"; exit 1; }
  rm -f "$build_log"
  echo "$deb"
fi
[[ -f $deb ]] || { echo "check-install: no package $deb" >&2; exit 2; }
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")

for tool in debootstrap Xvfb openbox xwininfo xprop import; do
  command -v "$tool" >/dev/null || { echo "check-install: $tool missing (tools/install-deps.sh)" >&2; exit 2; }
done

passed=0
failed=0
check() {  # check "what" COMMAND...: one counted item
  local what=$1
  shift
  if "$@"; then
    echo "PASS: $what"
    passed=$((passed + 1))
  else
    echo "FAIL: $what"
    failed=$((failed + 1))
  fi
}

# The Debian mirror as this machine's apt has it, for the suite checked
# (bookworm-updates becomes trixie-updates, and so on).
debian_sources() {
  local f host
  host=$(. /etc/os-release && echo "$VERSION_CODENAME")
  {
    for f in /etc/apt/sources.list.d/*.sources; do
      [[ -f $f ]] && grep -q '^URIs:.*debian' "$f" && { cat "$f"; return; }
    done
    grep -hE '^deb .*debian' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true
  } | sed -E "s/\b$host(-|\b)/$suite\1/g"
}
mirror=$(debian_sources | sed -nE 's#^(URIs:|deb( \[[^]]*\])?) *(https?://[^ ]*/debian)/?( .*)?$#\3#p' | head -1)
mirror=${mirror:-http://deb.debian.org/debian}

mkdir -p "$cache/apt-archives/partial"
if [[ ! -f $base_tar ]]; then
  echo "=== making the minimal $suite root ($mirror)"
  fresh=$(mktemp -d /var/tmp/orvane-debootstrap.XXXXXX)
  debootstrap --variant=minbase --cache-dir="$cache/apt-archives" "$suite" "$fresh" "$mirror" \
    >"$cache/debootstrap-$suite.log" 2>&1 || {
    tail -20 "$cache/debootstrap-$suite.log"
    echo "check-install: debootstrap failed (log: $cache/debootstrap-$suite.log)"
    exit 1
  }
  chmod 755 "$fresh"  # mktemp made it private; it is the root directory
  tar -C "$fresh" --numeric-owner --xattrs -cf "$base_tar.part" .
  mv "$base_tar.part" "$base_tar"
  rm -rf --one-file-system "$fresh"
fi

work=$(mktemp -d /var/tmp/orvane-check.XXXXXX)
root=$work/root
mounts=()
xvfb_pid=""
wm_pid=""
app_pid=""
cleanup() {
  local pid i
  for pid in $app_pid $wm_pid $xvfb_pid; do kill -TERM "$pid" 2>/dev/null || true; done
  for ((i = 0; i < 100; i++)); do
    local alive=0
    for pid in $app_pid $wm_pid $xvfb_pid; do kill -0 "$pid" 2>/dev/null && alive=1; done
    ((alive)) || break
    sleep 0.05
  done
  for pid in $app_pid $wm_pid $xvfb_pid; do kill -KILL "$pid" 2>/dev/null || true; done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true; done
  # Remove the root only when nothing is mounted in it any more.
  if [[ -n ${ORVANE_CHECK_KEEP:-} ]]; then
    echo "check-install: root kept in $root"
  elif [[ -n $work ]] && ! findmnt -rno TARGET | grep -q "^$work"; then
    rm -rf --one-file-system "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

bind() {  # bind SOURCE TARGET-IN-ROOT
  mkdir -p "$root$2"
  mount --bind "$1" "$root$2"
  mounts+=("$root$2")
}

echo "=== unpacking the minimal root ($base_tar)"
mkdir -p "$root"
tar -C "$root" --numeric-owner --xattrs -xf "$base_tar"
chmod 755 "$root"
mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounts+=("$root/sys")
bind /dev /dev
bind /dev/pts /dev/pts
bind "$cache/apt-archives" /var/cache/apt/archives
mkdir -p "$root/tmp/.X11-unix"
chmod 1777 "$root/tmp" "$root/tmp/.X11-unix"
bind /tmp/.X11-unix /tmp/.X11-unix
cp /etc/resolv.conf "$root/etc/resolv.conf"
rm -f "$root/etc/apt/sources.list"
if debian_sources | grep -q '^URIs:'; then
  debian_sources >"$root/etc/apt/sources.list.d/debian.sources"
else
  debian_sources >"$root/etc/apt/sources.list.d/debian.list"
fi
# No service starts inside a root that is not a running system.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
cp "$deb" "$root/tmp/"
pkg=/tmp/$(basename "$deb")

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive "$@"; }

echo "=== apt-get install $pkg"
in_root apt-get update -q >"$work/update.log" 2>&1 || { cat "$work/update.log"; exit 1; }
t0=$SECONDS
if in_root apt-get install -y -q "$pkg" >"$work/install.log" 2>&1; then
  grep -E "^([0-9]+ upgraded|Need to get|After this)" "$work/install.log" || true
  sed -n '/^Setting up orvane/,/^[A-Z][a-z]* /p' "$work/install.log" | head -8
  echo "installed in $((SECONDS - t0)) s"
  installed=1
else
  tail -30 "$work/install.log"
  installed=0
fi
check "apt-get install ./$(basename "$deb") with its dependencies from Debian" test "$installed" = 1
((installed)) || { echo "$passed passed, $failed failed"; exit 1; }

echo "=== capability"
caps=$(in_root getcap /usr/bin/orvane)
echo "getcap: $caps"
check "getcap /usr/bin/orvane shows cap_net_raw=p" test "$caps" = "/usr/bin/orvane cap_net_raw=p"
mode=$(stat -c %A "$root/usr/bin/orvane")
echo "mode: $mode"
check "/usr/bin/orvane is not set-user-ID or set-group-ID" test "${mode:3:1}${mode:6:1}" = xx

echo "=== where the desktop looks"
where_ok=1
for f in /usr/bin/orvane /usr/share/applications/org.orvane.Orvane.desktop \
  /usr/share/metainfo/org.orvane.Orvane.metainfo.xml /usr/share/man/man1/orvane.1.gz \
  /usr/share/icons/hicolor/scalable/apps/org.orvane.Orvane.svg \
  /usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/org.orvane.Orvane.png; do
  if [[ -f $root$f ]]; then echo "  $f"; else echo "  missing: $f"; where_ok=0; fi
done
check "menu entry, icons, AppStream data and manual page in their places" test "$where_ok" = 1
# The icon theme's cache is what GTK reads; the trigger of the theme's
# package must have rebuilt it with our icon in it.
if [[ -f $root/usr/share/icons/hicolor/icon-theme.cache ]]; then
  check "hicolor icon-theme.cache lists org.orvane.Orvane" grep -q org.orvane.Orvane "$root/usr/share/icons/hicolor/icon-theme.cache"
else
  echo "(no icon-theme.cache in the root: GTK reads the directories directly)"
fi

echo "=== orvane as an ordinary user, started from its menu entry, under Xvfb"
in_root useradd -m -s /bin/sh person
uid=$(in_root id -u person)
# Xvfb picks a free display number itself and writes it to fd 9.
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
for ((i = 0; i < 100; i++)); do
  display=$(tr -dc 0-9 <"$work/display")
  [[ -z $display ]] || break
  sleep 0.1
done
[[ -n $display ]] || { cat "$work/xvfb.log"; echo "check-install: Xvfb did not start" >&2; exit 1; }
for ((i = 0; i < 100; i++)); do
  DISPLAY=:$display xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done
DISPLAY=:$display openbox >/dev/null 2>&1 </dev/null &
wm_pid=$!
for ((i = 0; i < 100; i++)); do
  [[ "$(DISPLAY=:$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null)" == *"window id"* ]] && break
  sleep 0.05
done
# gtk-launch finds the entry by its id in the XDG data directories, as a
# menu does. Its own network namespace has only a loopback interface, so
# nothing the program could do would leave this machine.
launcher="exec gtk-launch org.orvane.Orvane"
in_root sh -c 'command -v gtk-launch >/dev/null' || launcher="exec orvane"
unshare --net chroot --userspec="$uid:$uid" "$root" env -i PATH=/usr/bin:/bin HOME=/home/person \
  USER=person LANG=C.UTF-8 DISPLAY=":$display" NO_AT_BRIDGE=1 sh -c "$launcher" \
  >"$work/app.log" 2>&1 </dev/null &
window=""
for ((i = 0; i < 300; i++)); do
  app_pid=$(pgrep -u "$uid" -x orvane | head -1 || true)
  if [[ -n $app_pid ]]; then
    for id in $(DISPLAY=:$display xwininfo -root -tree 2>/dev/null | awk '/"Orvane"/ && $1 ~ /^0x/ {print $1}'); do
      if [[ $(DISPLAY=:$display xwininfo -id "$id" 2>/dev/null) == *"IsViewable"* ]]; then window=$id; break; fi
    done
  fi
  [[ -z $window ]] || break
  sleep 0.1
done
echo "launched with: ${launcher#exec }"
check "the window \"Orvane\" is shown" test -n "$window"
if [[ -n $window ]]; then
  sleep 1  # mapped is not yet painted
  info=$(DISPLAY=:$display xwininfo -id "$window")
  x=$(awk '/Absolute upper-left X:/ {print $NF}' <<<"$info")
  y=$(awk '/Absolute upper-left Y:/ {print $NF}' <<<"$info")
  w=$(awk '/Width:/ {print $NF}' <<<"$info")
  h=$(awk '/Height:/ {print $NF}' <<<"$info")
  read -r l r t b < <(DISPLAY=:$display xprop -id "$window" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ',') || true
  l=${l:-0} r=${r:-0} t=${t:-0} b=${b:-0}
  mkdir -p "$(dirname "$shot")"
  DISPLAY=:$display import -window root -crop "$((w + l + r))x$((h + t + b))+$((x - l))+$((y - t))" +repage "$shot"
  echo "screenshot: $shot"
  echo "WM_CLASS: $(DISPLAY=:$display xprop -id "$window" WM_CLASS | sed 's/.*= //')"
  status=$(cat "/proc/$app_pid/status")
  grep -E '^(Uid|CapInh|CapPrm|CapEff|CapAmb)' <<<"$status" | sed 's/^/  /'
  check "orvane runs as the ordinary user" grep -qE "^Uid:\s+$uid\s" <<<"$status"
  # CAP_NET_RAW is bit 13: permitted, and raised only around one socket call.
  check "CAP_NET_RAW permitted, not effective" \
    grep -qzE 'CapPrm:\s+0000000000002000.*CapEff:\s+0000000000000000' <<<"$status"
fi
sed 's/^/  app: /' "$work/app.log" | head -10
kill -TERM "$app_pid" 2>/dev/null || true
for ((i = 0; i < 100; i++)); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.05; done
app_pid=""

echo "=== apt-get purge orvane"
in_root dpkg-query -L orvane >"$work/files"
if in_root apt-get purge -y -q orvane >"$work/purge.log" 2>&1; then purged=1; else cat "$work/purge.log"; purged=0; fi
check "apt-get purge orvane" test "$purged" = 1
left=()
while read -r f; do
  [[ -e $root$f || -L $root$f ]] || continue
  # A directory another package still owns stays, as it should.
  if [[ -d $root$f && ! -L $root$f ]] && in_root dpkg-query -S "$f" >/dev/null 2>&1; then continue; fi
  left+=("$f")
done <"$work/files"
while read -r f; do left+=("${f#"$root"}"); done < <(find "$root" -xdev \( -path "$root/tmp" -o -path "$root/var/cache/apt" \) -prune -o -iname '*orvane*' -print)
while read -r f; do left+=("${f#"$root"}"); done < <(find "$root/var/lib/dpkg/info" -name 'orvane.*')
((${#left[@]} == 0)) || printf '  left: %s\n' "${left[@]}" | sort -u
check "no file of the package left after purge ($(wc -l <"$work/files") paths checked)" test "${#left[@]}" -eq 0
# (With no icon left in hicolor the trigger removes the cache altogether.)
check "the icon theme's cache forgot the icon" \
  bash -c "! grep -qs org.orvane.Orvane '$root/usr/share/icons/hicolor/icon-theme.cache'"
check "dpkg knows no orvane any more" bash -c "! chroot '$root' dpkg-query -W orvane >/dev/null 2>&1"

echo "check-install ($suite): $passed passed, $failed failed"
echo "$passed passed, $failed failed"
((failed == 0))
