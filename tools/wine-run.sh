#!/usr/bin/env bash
# wine-run.sh [--prefix DIR] PROGRAM.exe [ARGS]: runs a Windows program under
# Wine, headless-friendly, in a private prefix (default: ./wine-prefix),
# created on first use: `wineboot -i`, no Mono or Gecko prompts, and the
# Chinese font linked behind the dialog fonts (Tahoma, MS Sans Serif) so
# Chinese text is not drawn as boxes. Exits with the program's status.
# wine-run.sh [--prefix DIR] --prepare only prepares the prefix.
#
# Only for programs that send nothing (the window-free unit tests). Anything
# that can send runs in a lab, in a prefix of its own (tests/windows/wine-lab.sh).
set -euo pipefail

prefix=$PWD/wine-prefix
if [[ ${1:-} == --prefix ]]; then
  prefix=$2
  shift 2
fi
[[ $# -ge 1 ]] || { echo "usage: $0 [--prefix DIR] PROGRAM.exe [ARGS]" >&2; exit 2; }
[[ $prefix == /* ]] || prefix=$PWD/$prefix

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Prepared once; concurrent callers wait for the first.
if [[ ! -f $prefix/.orvane-ready ]]; then
  mkdir -p "$(dirname "$prefix")"
  exec 8>"$prefix.lock"
  flock 8
  if [[ ! -f $prefix/.orvane-ready ]]; then
    rm -rf "$prefix"
    wineboot -i >/dev/null 2>&1
    links='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    for face in Tahoma "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
      wine reg add "$links" /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f >/dev/null 2>&1
    done
    # The registry is on disk once the server has gone.
    wineserver -w
    touch "$prefix/.orvane-ready"
  fi
  exec 8>&-
fi

[[ $1 == --prepare ]] && exit 0
# A client that reaches the prefix's server just as it shuts down (its idle
# grace after the last client) is dropped with "wine client error"; the
# program never ran, so it is started once more.
err=$(mktemp)
trap 'rm -f "$err"' EXIT
status=0
wine "$@" 2>"$err" || status=$?
if ((status != 0)) && grep -q '^wine client error' "$err"; then
  cat "$err" >&2
  status=0
  wine "$@" 2>"$err" || status=$?
fi
cat "$err" >&2
exit "$status"
