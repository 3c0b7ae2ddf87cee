#!/bin/sh
# Builds the libFuzzer targets with clang in build/fuzz and runs each for the
# given number of seconds (default 60), seeded with one file per line of the
# APRS sample. Findings go to build/fuzz/findings/<target>/.
# Usage: scripts/fuzz.sh [seconds]
set -eu

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELDAN_FUZZ=ON >/dev/null

# Every fuzz/fuzz_<name>.cpp is a target of the same name.
targets=$(cd "$root/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
ninja -C "$build" -j2 $targets

# The seed corpus: one file per sample line, made fresh for each run.
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds"
awk -v dir="$seeds" '{ f = sprintf("%s/line-%04d", dir, NR); printf "%s", $0 > f; close(f) }' \
    "$root/tests/data/aprs/aprs-sample.tnc2"

status=0
for target in $targets; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    # Optional per target: fuzz/<target>.dict and more seeds in fuzz/seeds/<target>/.
    dict=""
    [ -f "$root/fuzz/$target.dict" ] && dict="-dict=$root/fuzz/$target.dict"
    extra=""
    [ -d "$root/fuzz/seeds/$target" ] && extra="$root/fuzz/seeds/$target"
    echo "== $target: $seconds s"
    log="$build/$target.log"
    if "$build/fuzz/$target" $dict -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" "$seeds" $extra > "$log" 2>&1; then
        grep -E '^Done [0-9]+ runs' "$log" || tail -n 3 "$log"
    else
        tail -n 60 "$log" >&2
        echo "== $target: finding in $findings (whole output: $log)" >&2
        status=1
    fi
done
exit $status
