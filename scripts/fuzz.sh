#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UBSan) and runs each for a while.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

targets=$(find fuzz -mindepth 2 -name CMakeLists.txt -printf '%h\n' | sort)
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }

# The fuzz preset: clang, build-fuzz/. Every target built first (the game's archive and
# pictures too, seeds of the targets that read them), then run as many at once as there are
# cores (TAVLO_FUZZ_JOBS), each for its own SECONDS: libFuzzer runs one process on one core.
# shellcheck source=scripts/common.sh
. scripts/common.sh
cmake --preset fuzz "${launcher[@]}" >/dev/null
names=()
for dir in $targets; do names+=("$(basename "$dir")_fuzz"); done
cmake --build --preset fuzz --target tavlo_archive "${names[@]}"
mkdir -p build-fuzz/artifacts

# fuzz DIR: the target of fuzz/DIR for SECONDS over its corpus, its found and crash inputs and
# the built seeds; its log in build-fuzz/NAME.log, its last lines on stderr when it fails.
fuzz() {
    local dir="$1" target name work seeds seed options log
    target=$(basename "$dir")
    name="${target}_fuzz"
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
    log="build-fuzz/$name.log"
    if ! "build-fuzz/fuzz/$target/$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/artifacts/ "${options[@]}" "$work" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "$name found a failure (input kept in build-fuzz/artifacts/)" >&2
        return 1
    fi
    echo "== $name: ${seconds}s" "$(grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" |
        tr -s ' \n' ' ')"
}

jobs="${TAVLO_FUZZ_JOBS:-$(nproc)}"
running=0 status=0
for dir in $targets; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    fuzz "$dir" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
exit "$status"
