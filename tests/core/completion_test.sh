#!/usr/bin/env bash
# The bash completion with hostile data: a hosts file whose fields are
# command substitutions, and (in a lab whose adapter is named so) an adapter
# name. Nothing may run, and only IPv4 and MAC shapes are offered.
#   completion_test.sh COMPLETION-FILE [--adapter]
set -uo pipefail
completion=$1
bash_completion=/usr/share/bash-completion/bash_completion
[[ -r $bash_completion ]] || { echo "bash-completion is not installed"; exit 77; }
# shellcheck disable=SC1090
source "$bash_completion"
# shellcheck disable=SC1090
source "$completion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }

complete_line() {  # complete_line WORD...: COMPREPLY for the last word
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _orvane
}

if [[ ${2:-} == --adapter ]]; then
    # The lab names the client's adapter $(touch${IFS}x); elsewhere skip.
    [[ -e /sys/class/net/'$(touch${IFS}x)' ]] || { echo "not in the lab"; exit 77; }
    complete_line orvane scan --interface ''
    [[ -e x ]] && fail "an adapter name ran as a command"
    printf '%s\n' "${COMPREPLY[@]}" | grep -qxF '\$\(touch\$\{IFS\}x\)' ||
        fail "the adapter is not offered, quoted: ${COMPREPLY[*]}"
    exit "$failed"
fi

export XDG_STATE_HOME=$work/state
mkdir -p "$XDG_STATE_HOME/orvane"
{
    printf '%s\t%s\teth0\t2026-12-07T17:41:40Z\n' '$(touch${IFS}ran1)' '`touch ran2`'
    printf '192.168.1.9\t02-4F-52-00-02-09\t$(touch${IFS}ran3)\t2026-12-07T17:41:40Z\n'
    printf '10.0.0.7;touch ran4\t02:4f:52:00:02:07\teth0\t2026-12-07T17:41:40Z\n'
} >"$XDG_STATE_HOME/orvane/hosts"

complete_line orvane wake ''
ls ran* >/dev/null 2>&1 && fail "a hosts field ran as a command: $(ls ran*)"
offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
[[ $offered == "02-4F-52-00-02-09 02:4f:52:00:02:07 192.168.1.9 " ]] || fail "offered: $offered"

complete_line orvane wake 192
[[ "${COMPREPLY[*]}" == 192.168.1.9 ]] || fail "prefix 192: ${COMPREPLY[*]}"

complete_line orvane wake --i
[[ "${COMPREPLY[*]}" == --interface= ]] || fail "wake options: ${COMPREPLY[*]}"
complete_line orvane ''
[[ "${COMPREPLY[*]}" == "wake scan hosts" ]] || fail "commands: ${COMPREPLY[*]}"
exit "$failed"
