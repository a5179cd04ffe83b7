#!/usr/bin/env bash
# Installs the Debian 12 packages Orvane needs. Quick when they are all
# there already: apt is only asked about the missing ones. Needs root (or
# sudo).
#   (no option)  building and running the program (tools/run.sh)
#   --test       also the test and packaging tools (tools/test-all.sh,
#                tools/build-deb.sh, tools/release.sh, tools/demo.sh)
#   --windows    also Wine, for the tests of the Windows build (implies
#                --test; the cross toolchain comes with tools/build-windows.sh)
set -euo pipefail

packages=(
  build-essential g++ cmake pkg-config
  libwxgtk3.2-dev libgtk-3-dev          # the dialog toolkit (wxWidgets on GTK 3)
  libmnl-dev                            # rtnetlink messages (routes, neighbours)
  libcap-dev                            # raising CAP_NET_RAW around one socket call
  librsvg2-bin                          # rsvg-convert: the icon's PNG sizes
  fonts-wqy-microhei                    # the dialog's Chinese text
  xvfb xauth x11-utils imagemagick      # no display: run.sh's screenshot instead
)
test_packages=(
  git                                   # the tracked files (check-format.sh, check-layers.sh)
  bash-completion                       # the completion test sources it
  clang-format                          # the tree's one style, checked by CI
  ccache                                # CI's compiler cache (tools/test-all.sh)
  clang libclang-rt-14-dev              # the fuzz targets (libFuzzer)
  libgtest-dev googletest               # the tests
  openbox                               # a window manager for the GUI tests
  at-spi2-core python3-pyatspi dbus     # reading the dialog as a screen reader does
  orca                                  # the screen reader itself, in the tests
  iproute2 util-linux procps            # the network lab (ip, nsenter, setpriv)
  arp-scan tcpdump                      # benchmark peer, capturing in the lab
  dpkg-dev file                         # the package: dpkg-shlibdeps, dpkg-buildflags
  lintian desktop-file-utils appstream  # checking the package, menu entry, metadata
  debootstrap                           # tools/check-install.sh: a fresh Debian root
  wixl msitools zip                     # the Windows installer and archive (release.sh)
  diffoscope-minimal                    # release.sh --check: what differs between builds
)
case "${1:-}" in
  --test) packages+=("${test_packages[@]}") ;;
  --windows) packages+=("${test_packages[@]}" wine wine64 fonts-wine) ;;
  "") ;;
  *) echo "usage: $0 [--test | --windows]" >&2; exit 2 ;;
esac

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
