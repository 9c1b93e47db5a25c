#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UBSan) and runs each for a while.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

targets=$(find fuzz -mindepth 2 -name CMakeLists.txt -printf '%h\n' | sort)
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }

# The fuzz preset: clang, build-fuzz/.
# shellcheck source=scripts/common.sh
. scripts/common.sh
cmake --preset fuzz "${launcher[@]}" >/dev/null
# The game's archive and pictures, seeds of the targets that read them.
cmake --build --preset fuzz --target tavlo_archive
for dir in $targets; do
    target=$(basename "$dir")
    name="${target}_fuzz"
    cmake --build --preset fuzz --target "$name"
    work="build-fuzz/corpus/$name"
    mkdir -p "$work"
    for seeds in "$dir/corpus" "$dir/found" "$dir/crashes"; do
        if [ -d "$seeds" ]; then cp -n "$seeds"/* "$work"/ 2>/dev/null || true; fi
    done
    while read -r seed; do
        if [ -d "$seed" ]; then cp -n "$seed"/* "$work"/; elif [ -f "$seed" ]; then cp -n "$seed" "$work"/; fi
    done <"build-fuzz/fuzz/$target/seeds.txt"
    options=()
    if [ -f "$dir/$target.dict" ]; then options+=("-dict=$dir/$target.dict"); fi
    echo "== $name: ${seconds}s"
    mkdir -p build-fuzz/artifacts
    log="build-fuzz/$name.log"
    if ! "build-fuzz/fuzz/$target/$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/artifacts/ "${options[@]}" "$work" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "$name found a failure (input kept in build-fuzz/artifacts/)" >&2
        exit 1
    fi
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
done
