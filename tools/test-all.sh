#!/usr/bin/env bash
# Installs what is needed, builds five trees and runs every test:
#   build       the normal build: the whole suite
#   build-asan  AddressSanitizer + UndefinedBehaviorSanitizer: the whole suite
#   build-tsan  ThreadSanitizer: the tests labelled "tsan"
#   build-fuzz  clang, ASan + UBSan + libFuzzer: each fuzz target a short
#               while from its seed corpus (ORVANE_FUZZ_SECONDS, default 20)
#   windows     build-windows/ by tools/build-windows.sh (64-bit Windows,
#               cross-compiled): the window-free tests under Wine and the
#               Wine smoke test in a lab
# GUI tests run under Xvfb; lab tests build their own network namespaces
# (root needed, they skip otherwise). Leftover labs are removed at the end,
# also after a failure. Exits non-zero on any failure. Before the trees:
# the formatting and layering checks, and the Debian package (built by
# tools/build-deb.sh, checked by lintian, desktop-file-validate and
# appstreamcli).
#
# ORVANE_TREES="build build-asan" limits the trees; ORVANE_JOBS sets -j.
# With the Windows tree selected, its wxWidgets cache (a long build when
# cold) is built in the background while the Linux trees run.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${ORVANE_JOBS:-2}
trees=${ORVANE_TREES:-"build build-asan build-tsan build-fuzz windows"}
start=$SECONDS

cleanup() {
  if [[ -n ${wx_pid:-} ]]; then kill -TERM -- "-$wx_pid" 2>/dev/null || true; fi
  if [[ $(id -u) -eq 0 ]]; then tools/orvane-lab gc >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

tools/install-deps.sh --test || { echo "test-all: installing packages failed"; echo "0 passed, 1 failed"; exit 1; }

# Every tree compiles through ccache, kept beside the wxWidgets cache
# (outside the checkout, so a fresh clone finds it warm). Its key is the
# preprocessed source, the flags and the compiler: a changed file is always
# compiled anew.
cache=${ORVANE_CACHE:-/var/cache/orvane}
if mkdir -p "$cache/ccache" 2>/dev/null && [[ -w $cache/ccache ]]; then
  export CCACHE_DIR=${CCACHE_DIR:-$cache/ccache}
fi
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-4G}
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
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

# The Debian package and what the desktop reads from it: the release build
# (tools/build-deb.sh), then lintian, desktop-file-validate and appstreamcli
# on every run, each counted as one item.
item() {  # item "what" COMMAND...
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "test-all: $what failed"
    failed=$((failed + 1)); status=1
  fi
}
run_lintian() {  # as root it adds a note that it would rather not be; CI is
  lintian --fail-on error,warning --pedantic "$1" 2>&1 | grep -v '^running with root privileges'
  return "${PIPESTATUS[0]}"
}
package_has_files() {  # the program and everything a desktop looks for
  local listing f missing=0
  listing=$(dpkg-deb -c "$1" | awk '{print $NF}')
  for f in ./usr/bin/orvane ./usr/share/applications/org.orvane.Orvane.desktop \
    ./usr/share/metainfo/org.orvane.Orvane.metainfo.xml ./usr/share/man/man1/orvane.1.gz \
    ./usr/share/doc/orvane/copyright ./usr/share/icons/hicolor/scalable/apps/org.orvane.Orvane.svg \
    ./usr/share/bash-completion/completions/orvane \
    ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/org.orvane.Orvane.png; do
    grep -qxF "$f" <<<"$listing" || { echo "test-all: the package lacks $f"; missing=1; }
  done
  ((missing == 0))
}
package_checks() {
  local t0=$SECONDS log=$root/build-deb/test-all.log deb=""
  mkdir -p "$root/build-deb"
  echo "=== package"
  if tools/build-deb.sh >"$log" 2>&1; then
    deb=$(tail -1 "$log")
    echo "built $deb in $((SECONDS - t0)) s"
    passed=$((passed + 1))
  else
    tail -30 "$log"
    echo "test-all: building the package failed (log: $log)"
    failed=$((failed + 1)); status=1
  fi
  if [[ -n $deb ]]; then
    item "lintian" run_lintian "$deb"
    item "lintian (debug symbols)" run_lintian "$(dirname "$deb")"/orvane-dbgsym_*.deb
    item "the package's files" package_has_files "$deb"
    # The same commit, built again elsewhere, gives the same bytes.
    item "reproducible package" tools/compare-builds.sh deb
  fi
  item "desktop-file-validate" desktop-file-validate packaging/org.orvane.Orvane.desktop
  # The metadata as made from the version and changelog.
  item "appstreamcli validate" appstreamcli validate --no-net --strict build-deb/packaging/org.orvane.Orvane.metainfo.xml
}
package_checks

# The suppressions for the window system's own libraries, for the program
# itself (the GUI test binaries have them compiled in).
supp=$root/tests/support
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp"
export GTEST_COLOR=no
# GLib's slice allocator keeps freed objects in its own slabs, which would
# hide a leaked GObject of ours from LeakSanitizer.
export G_SLICE=always-malloc
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

# run_tree DIR SANITIZE [LABEL TARGET [CMAKE-ARGS...]]: configures and
# builds DIR (only TARGET when given) and runs its tests (only those
# labelled LABEL).
run_tree() {
  local dir=$1 sanitize=$2 label=${3:-} target=${4:-}
  shift $(($# < 4 ? $# : 4))
  local t0=$SECONDS
  echo "=== $dir (${sanitize:-no sanitizer})"
  mkdir -p "$dir"
  if ! cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_SANITIZE="$sanitize" "$@" >"$dir/configure.log" 2>&1; then
    cat "$dir/configure.log"
    echo "test-all: configuring $dir failed"
    failed=$((failed + 1)); status=1
    return
  fi
  local targets=()
  [[ -z $target ]] || targets=(--target "$target")
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
  # The Wine prefix is made before the build: its first start takes longer
  # than listing a test program's tests may.
  if ((wx_ok == 0)) || ! tools/install-deps.sh --windows >"$dir/install.log" 2>&1 ||
    ! tools/wine-run.sh --prefix "$root/$dir/wine-prefix" --prepare >"$dir/wine-prefix.log" 2>&1 ||
    ! tools/build-windows.sh >"$dir/build.log" 2>&1; then
    tail -40 "$wx_log" "$dir/install.log" "$dir/build.log" 2>/dev/null | grep -v '^$'
    echo "test-all: building $dir failed (logs: $wx_log, $dir/build.log)"
    failed=$((failed + 1)); status=1
    return
  fi
  echo "built $dir in $((SECONDS - t0)) s"
  run_ctest "$dir" "" "$t0"
  item "reproducible Windows program" tools/compare-builds.sh windows
}

[[ " $trees " != *" windows "* ]] || start_wx_cache
for tree in $trees; do
  case "$tree" in
    build) run_tree build "" ;;
    build-asan) run_tree build-asan address ;;
    build-tsan) run_tree build-tsan thread tsan tsan_tests ;;
    build-fuzz)
      CXX=clang++ run_tree build-fuzz address fuzz fuzz_tests -DORVANE_FUZZ=ON \
        -Dfuzz_seconds="${ORVANE_FUZZ_SECONDS:-20}" ;;
    windows) run_windows_tree ;;
    *) echo "test-all: unknown tree $tree"; status=1 ;;
  esac
done

cleanup
echo "test-all: $((SECONDS - start)) s in all"
((failed == 0)) || status=1
echo "$passed passed, $failed failed"
exit "$status"
