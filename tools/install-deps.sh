#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Orvane
# needs (--windows: also for testing the Windows build). Quick when they are
# all there already: apt is only asked about the missing ones. Needs root (or
# sudo).
set -euo pipefail

packages=(
  build-essential g++ cmake pkg-config
  clang-format                          # the tree's one style, checked by CI
  clang libclang-rt-14-dev              # the fuzz targets (libFuzzer)
  libwxgtk3.2-dev libgtk-3-dev          # the dialog toolkit (wxWidgets on GTK 3)
  libmnl-dev                            # rtnetlink messages (routes, neighbours)
  libcap-dev                            # raising CAP_NET_RAW around one socket call
  libgtest-dev googletest               # the tests
  xvfb xauth openbox x11-utils          # headless display, window manager, xwininfo
  fonts-wqy-microhei                    # the dialog's Chinese text
  imagemagick                           # screenshots (import)
  at-spi2-core python3-pyatspi dbus     # reading the dialog as a screen reader does
  orca                                  # the screen reader itself, in the tests
  iproute2 util-linux procps            # the network lab (ip, nsenter, setpriv)
  arp-scan tcpdump                      # benchmark peer, capturing in the lab
  librsvg2-bin                          # rsvg-convert: the icon's PNG sizes
  dpkg-dev file                         # the package: dpkg-shlibdeps, dpkg-buildflags
  lintian desktop-file-utils appstream  # checking the package, menu entry, metadata
  debootstrap                           # tools/check-install.sh: a fresh Debian root
)
# --windows: also Wine, for the tests of the Windows build (the cross
# toolchain comes with tools/build-windows.sh).
if [[ ${1:-} == --windows ]]; then
  packages+=(wine wine64 fonts-wine)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [[ $status == installed ]] || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
