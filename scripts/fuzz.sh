#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UBSan) and runs each for a while.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

targets=$(find fuzz -mindepth 2 -name CMakeLists.txt -printf '%h\n' | sort)
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }

# The fuzz preset: clang, build-fuzz/.
cmake --preset fuzz >/dev/null
for dir in $targets; do
    name="$(basename "$dir")_fuzz"
    cmake --build --preset fuzz --target "$name"
    work="build-fuzz/corpus/$name"
    mkdir -p "$work"
    if [ -d "$dir/corpus" ]; then cp -n "$dir"/corpus/* "$work"/ 2>/dev/null || true; fi
    echo "== $name: ${seconds}s"
    mkdir -p build-fuzz/artifacts
    log="build-fuzz/$name.log"
    if ! "build-fuzz/fuzz/$(basename "$dir")/$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/artifacts/ "$work" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "$name found a failure (input kept in build-fuzz/artifacts/)" >&2
        exit 1
    fi
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
done
