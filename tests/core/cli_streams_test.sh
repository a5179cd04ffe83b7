#!/usr/bin/env bash
# The command line's output in broken surroundings, without a network:
# a full disk, and no home directory at all.
#   cli_streams_test.sh PROGRAM
set -uo pipefail
program=$(readlink -f "$1")
failed=0
fail() { echo "FAIL: $*"; failed=1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
mkdir -p -m 0700 "$XDG_STATE_HOME/orvane"
printf '192.168.1.9\t02-4F-52-00-02-09\teth0\t2026-12-07T17:41:40Z\n' >"$XDG_STATE_HOME/orvane/hosts"

for words in "hosts" "--help" "--version"; do
    # shellcheck disable=SC2086
    err=$("$program" $words 2>&1 >/dev/full)
    status=$?
    ((status == 1)) || fail "'$words >/dev/full' gave $status"
    [[ $err == *"write error"* ]] || fail "'$words >/dev/full' said: $err"
done

# No XDG_STATE_HOME, no HOME and no passwd entry: nothing is read from a
# path relative to where the program runs.
if [[ $(id -u) -eq 0 ]] && ! getent passwd 54321 >/dev/null; then
    mkdir -p "$work/cwd/~/.local/state/orvane"
    cp "$XDG_STATE_HOME/orvane/hosts" "$work/cwd/~/.local/state/orvane/hosts"
    chown -R 54321:54321 "$work/cwd"
    chmod 0755 "$work"
    # A copy the other user can reach: the build tree may sit under /root.
    install -m 0755 "$program" "$work/orvane"
    out=$(cd "$work/cwd" && env -u HOME -u XDG_STATE_HOME setpriv --reuid=54321 --regid=54321 --clear-groups \
        "$work/orvane" hosts 2>"$work/err")
    [[ -z $out ]] || fail "read a relative path: $out"
    grep -q "no home directory" "$work/err" || fail "no warning: $(cat "$work/err")"
fi
exit "$failed"
