#!/usr/bin/env bash
# Installs what is needed, builds four trees and runs every test:
#   build       the normal build: the whole suite
#   build-asan  AddressSanitizer + UndefinedBehaviorSanitizer: the whole suite
#   build-tsan  ThreadSanitizer: the tests labelled "tsan"
#   windows     build-windows/ by tools/build-windows.sh (64-bit Windows,
#               cross-compiled): the window-free tests under Wine and the
#               Wine smoke test in a lab
# GUI tests run under Xvfb; lab tests build their own network namespaces
# (root needed, they skip otherwise). Leftover labs are removed at the end,
# also after a failure. Exits non-zero on any failure.
#
# ORVANE_TREES="build build-asan" limits the trees; ORVANE_JOBS sets -j.
# With the Windows tree selected, its wxWidgets cache (a long build when
# cold) is built in the background while the Linux trees run.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${ORVANE_JOBS:-2}
trees=${ORVANE_TREES:-"build build-asan build-tsan windows"}
start=$SECONDS

cleanup() {
  if [[ -n ${wx_pid:-} ]]; then kill -TERM -- "-$wx_pid" 2>/dev/null || true; fi
  if [[ $(id -u) -eq 0 ]]; then tools/orvane-lab gc >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

tools/install-deps.sh || { echo "test-all: installing packages failed"; echo "0 passed, 1 failed"; exit 1; }
cleanup  # labs left by an earlier, killed run

passed=0
failed=0
status=0

if tools/check-format.sh; then
  passed=$((passed + 1))
else
  echo "test-all: formatting check failed"
  failed=$((failed + 1)); status=1
fi

if tools/check-layers.sh; then
  passed=$((passed + 1))
else
  echo "test-all: layering check failed"
  failed=$((failed + 1)); status=1
fi

support=$root/tests/support
first_file() {  # the first existing file among the arguments
  local f
  for f in "$@"; do [[ -f $f ]] && { echo "$f"; return; }; done
}
lsan_supp=$(first_file "$support/lsan.supp" "$support/lsan-suppressions.txt" "$support/lsan_suppressions.txt")
tsan_supp=$(first_file "$support/tsan.supp" "$support/tsan-suppressions.txt" "$support/tsan_suppressions.txt")
ubsan_supp=$(first_file "$support/ubsan.supp" "$support/ubsan-suppressions.txt")
asan_supp=$(first_file "$support/asan.supp" "$support/asan-suppressions.txt")

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1${asan_supp:+:suppressions=$asan_supp}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${ubsan_supp:+:suppressions=$ubsan_supp}"
export LSAN_OPTIONS="${lsan_supp:+suppressions=$lsan_supp:}print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1${tsan_supp:+:suppressions=$tsan_supp}"
export GTEST_COLOR=no
# wx/GTK look for a session bus and accessibility bus; neither exists here.
export NO_AT_BRIDGE=1

# Runs the tests of a built tree and counts them.
run_ctest() {
  local dir=$1 label=$2 t0=$3
  local args=(--test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600)
  [[ -z $label ]] || args+=(-L "$label")
  local log=$dir/ctest.log
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest "${args[@]}" </dev/null 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  # "NN% tests passed, F tests failed out of T"
  local line
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -1)
  if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    local f=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
    passed=$((passed + total - f))
    failed=$((failed + f))
  elif grep -q "No tests were found" "$log"; then
    echo "test-all: $dir has no tests${label:+ labelled $label}"
  else
    failed=$((failed + 1))
  fi
  ((rc == 0)) || status=1
  echo "=== $dir done in $((SECONDS - t0)) s"
}

run_tree() {
  local dir=$1 sanitize=$2 label=$3
  local t0=$SECONDS
  echo "=== $dir (${sanitize:-no sanitizer})"
  mkdir -p "$dir"
  if ! cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_SANITIZE="$sanitize" >"$dir/configure.log" 2>&1; then
    cat "$dir/configure.log"
    echo "test-all: configuring $dir failed"
    failed=$((failed + 1)); status=1
    return
  fi
  local targets=()
  # A tree that runs only some tests builds only what they need, when the
  # project names that set (target "<label>_tests").
  if [[ -n $label ]] && cmake --build "$dir" --target help 2>/dev/null | grep -q "^\.\.\. ${label}_tests\$"; then
    targets=(--target "${label}_tests")
  fi
  if ! cmake --build "$dir" -j"$jobs" "${targets[@]}" >"$dir/build.log" 2>&1; then
    grep -E "error|Error" "$dir/build.log" | head -40
    echo "test-all: building $dir failed (log: $dir/build.log)"
    failed=$((failed + 1)); status=1
    return
  fi
  echo "built $dir in $((SECONDS - t0)) s"
  run_ctest "$dir" "$label" "$t0"
}

# The Windows tree: the wxWidgets cache (perhaps still being built in the
# background), then tools/build-windows.sh builds build-windows/, whose
# tests run under Wine.
wx_pid=""
wx_log=$root/build-windows/wx-cache.log
start_wx_cache() {
  mkdir -p build-windows
  # A session of its own, so that an interrupted run can stop all of it.
  setsid tools/build-windows.sh --wx-only >"$wx_log" 2>&1 </dev/null &
  wx_pid=$!
}
run_windows_tree() {
  local dir=build-windows t0=$SECONDS
  echo "=== $dir (64-bit Windows, cross-compiled; tests under Wine)"
  local wx_ok=1
  if [[ -n $wx_pid ]]; then
    wait "$wx_pid" || wx_ok=0
    wx_pid=""
    sed -n 's/^build-windows: /  wx: /p' "$wx_log"
  fi
  mkdir -p "$dir"
  if ((wx_ok == 0)) || ! tools/install-deps.sh --windows >"$dir/install.log" 2>&1 ||
    ! tools/build-windows.sh >"$dir/build.log" 2>&1; then
    tail -40 "$wx_log" "$dir/install.log" "$dir/build.log" 2>/dev/null | grep -v '^$'
    echo "test-all: building $dir failed (logs: $wx_log, $dir/build.log)"
    failed=$((failed + 1)); status=1
    return
  fi
  echo "built $dir in $((SECONDS - t0)) s"
  run_ctest "$dir" "" "$t0"
}

[[ " $trees " != *" windows "* ]] || start_wx_cache
for tree in $trees; do
  case "$tree" in
    build) run_tree build "" "" ;;
    build-asan) run_tree build-asan address "" ;;
    build-tsan) run_tree build-tsan thread tsan ;;
    windows) run_windows_tree ;;
    *) echo "test-all: unknown tree $tree"; status=1 ;;
  esac
done

cleanup
echo "test-all: $((SECONDS - start)) s in all"
((failed == 0)) || status=1
echo "$passed passed, $failed failed"
exit "$status"
