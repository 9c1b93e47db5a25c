#!/usr/bin/env bash
# Builds and runs every test: once normally, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the fuzz targets briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
jobs=$(nproc)

# The quick checks first: the formatting of every source, and the scripts' hygiene.
find src server tests tools fuzz bench -name node_modules -prune -o \( -name '*.cpp' -o -name '*.h' \) -print |
    sort | xargs clang-format --dry-run --Werror
# Every shell script the tree holds, known by its first line, so that none is missed or named
# after it has gone.
git grep -lI '^#!.*[/ ]\(ba\)\?sh$' | while read -r file; do
    if head -n 1 "$file" | grep -q '^#!.*[/ ]\(ba\)\?sh$'; then echo "$file"; fi
done | xargs shellcheck
desktop-file-validate packaging/org.tavlo.Tavlo.desktop
appstreamcli validate --pedantic --no-net packaging/org.tavlo.Tavlo.metainfo.xml

# The trees are named in CMakePresets.json: dev (build/), asan (build-asan/), fuzz, bench, release.
# The benchmarks are built here too (not run: they measure, they do not test), so they keep building.
cmake --preset dev -DTAVLO_WERROR=ON -DTAVLO_BENCH=ON >/dev/null
cmake --build --preset dev -j "$jobs"
# This also builds the web page (build-web/, incremental) and plays it in headless Chromium
# (tests/web, web_browser_test).
ctest --preset dev -j "$jobs"
# The few clang-tidy checks of .clang-tidy, over our own sources (the build's compile commands):
# the game's, its tools' and the score server's.
run-clang-tidy -quiet -p build "$PWD/src/" "$PWD/tools/" "$PWD/server/" >/dev/null

# The Windows programs, cross-built (build-windows/; SDL2, FreeType and libpng for Windows come
# from ~/.cache/tavlo/windows once built), and their tests under Wine.
TAVLO_WERROR=ON scripts/windows.sh test

cmake --preset asan -DTAVLO_WERROR=ON >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

scripts/fuzz.sh 30
