#!/usr/bin/env bash
# Installs what the tests need, checks the format, builds with warnings as
# errors, fuzzes, runs every test, then the tests again under AddressSanitizer
# and the tests labelled threads under ThreadSanitizer. ctest starts PostgreSQL
# and MariaDB under the build tree and stops them. Each step's time is printed
# as it ends and all of them at the end.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

times=()
summary() {
  echo "== Times (minutes:seconds)"
  for t in "${times[@]}"; do echo "$t"; done
  echo "== Total: $((SECONDS / 60)):$(printf '%02d' $((SECONDS % 60)))"
}
trap summary EXIT
# step NAME COMMAND...: runs the command and records how long it took.
step() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  local took=$((SECONDS - start))
  times+=("$(printf '%-24s %3d:%02d' "$name" $((took / 60)) $((took % 60)))")
  echo "== $name: $took s"
}

# build_tests PRESET [CTEST ARGUMENTS...]: configures the preset and builds
# only the executables of the tests that ctest selects, not the benchmarks and
# tools; a sanitizer needs a build of its own.
build_tests() {
  local preset=$1 names
  shift
  cmake --preset "$preset" > /dev/null
  # Only the tests that are executables of their own: not the server
  # fixtures, the scripted checks (layers, install, package).
  names=$(ctest --preset "$preset" -N "$@" 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: //p' \
    | grep -xF -f <(ninja -C "build/$preset" -t targets all | sed -n 's/^\([^:/]*\): .*/\1/p') || true)
  if [ -z "$names" ]; then
    echo "No test selected."
    return 0
  fi
  # shellcheck disable=SC2086
  cmake --build --preset "$preset" --target $names
}

step install bash scripts/install-packages.sh test
step format bash scripts/format-check.sh
step "ci build" bash scripts/build.sh ci
# A short fuzzing run of every fuzz/fuzz_*.cpp.
step fuzzers bash scripts/fuzz.sh "${KELDAN_FUZZ_SECONDS:-60}"
step "ci tests" ctest --preset ci
# Left out under the sanitizers, as adding least for their time: browser (what
# Chromium draws), packaging (what is installed), direwolf (the feeds' code
# runs in the loopback feed tests too) and servers (PostgreSQL and MariaDB; the
# ODBC and statement code runs against SQLite too). The asan preset unwinds every
# allocation fully, for its leak suppressions, which makes the server tests slow.
asan_skip='^(browser|packaging|direwolf|servers)$'
step "asan build" build_tests asan -LE "$asan_skip"
step "asan tests" ctest --preset asan -LE "$asan_skip"
# The tsan test preset selects the tests labelled threads: those that cross
# threads or run a signal handler.
step "tsan build" build_tests tsan
step "tsan tests" ctest --preset tsan
