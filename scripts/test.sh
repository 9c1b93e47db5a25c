#!/usr/bin/env bash
# Builds and runs every test: once normally, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the fuzz targets briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
jobs=$(nproc)

# The quick checks first: the formatting of every source, and the scripts' hygiene.
find src tests tools fuzz bench -name node_modules -prune -o \( -name '*.cpp' -o -name '*.h' \) -print |
    sort | xargs clang-format --dry-run --Werror
shellcheck scripts/*.sh packaging/*.sh .ci/run

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVLO_TESTS=ON -DTAVLO_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
# This also builds the web page (build-web/, incremental) and plays it in headless Chromium
# (tests/web, web_browser_test).
(cd build && ctest -j "$jobs" --output-on-failure --timeout 300)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVLO_TESTS=ON -DTAVLO_SANITIZE=ON -DTAVLO_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest -j "$jobs" --output-on-failure --timeout 600)

if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh 30; fi
