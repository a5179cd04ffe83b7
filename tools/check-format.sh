#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what .clang-format makes of it.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
files=$(git ls-files '*.cpp' '*.h') && [[ -n $files ]] ||
    { echo "check-format: no tracked C++ files (git missing, or not a git checkout)"; exit 2; }
bad=0
while IFS= read -r f; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        echo "check-format: $f is not formatted (clang-format -i $f)"
        bad=1
    fi
done <<<"$files"
exit "$bad"
