#!/usr/bin/env bash
# Fails when a file includes across the layers it must not reach:
#   platform/base  nothing above it: not platform/net, platform/ui, net/,
#                  app/, the resource identifiers, nor the toolkit
#   platform/net   platform/base only: not platform/ui, net/, app/, res/,
#                  nor the toolkit
#   net/           platform/ui only in the sweep worker (net/scan.cpp), which
#                  is handed the dialog's host list; app/ only in the
#                  dialog's own member definitions (net/local_adapter.cpp);
#                  never the toolkit
#   cli/           the command line: net/ and platform/ below it, never
#                  platform/ui, app/ nor the toolkit
#   app/           never the toolkit itself: it goes through platform/ui
# "Includes" means the file's own #include lines. What an allowed header
# brings with it (app/OrvaneDlg.h brings platform/ui) is that header's
# business, and its own directory's rule covers it.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

git ls-files --error-unmatch -- '*.cpp' >/dev/null 2>&1 ||
    { echo "check-layers: no tracked C++ files (git missing, or not a git checkout)"; exit 2; }

bad=0
# Reports the #include lines of tracked C++ files under $1 whose target
# matches $2 (an extended regex over what follows "#include"), except in
# the files listed after it.
forbid() {
    local dir=$1 target=$2 hit file allowed
    shift 2
    while IFS= read -r hit; do
        file=${hit%%:*}
        for allowed in "$@"; do [[ $file == "$allowed" ]] && continue 2; done
        echo "check-layers: $hit"
        bad=1
    done < <(git ls-files -- "$dir/*.cpp" "$dir/*.h" | xargs -r grep -HnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*($target)" --)
}

toolkit='<(wx|gtk|gdk|glib)[/.-]'
forbid platform/base "\"(platform/net|platform/ui|net|cli|app)/|\"res/resource|$toolkit"
forbid platform/net "\"(platform/ui|net|cli|app|res)/|$toolkit"
forbid net '"platform/ui/' net/scan.cpp
forbid net '"app/' net/local_adapter.cpp
forbid net "$toolkit"
forbid net '"cli/'
forbid cli "\"(platform/ui|app)/|$toolkit"
forbid app "$toolkit"

((bad == 0)) || echo "check-layers: see the layering rule in CONTRIBUTING.md"
exit "$bad"
