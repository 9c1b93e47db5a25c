#!/usr/bin/env bash
# Builds and runs every test, in this order:
#   1. the Debian packages every step needs (scripts/deps.sh test)
#   2. clang-format over every C++ source, shellcheck over every shell script, ESLint over the
#      page's scripts and its tests, the catalogues of the port's texts checked (scripts/po.sh check)
#   3. the dev tree (build/), warnings as errors, benchmarks built too; the desktop entry and the
#      AppStream metainfo it made validated; ctest there: every unit, program and package test,
#      the golden replays, the page in headless Chromium
#   4. clang-tidy over our sources (each file again only when what it reads changed)
#   5. the Windows build under Wine (scripts/windows.sh test)
#   6. the sanitizer tree (build-asan/: ASan and UBSan) and its ctest
#   7. each fuzz target for 30 s, as many at once as there are cores (scripts/fuzz.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

# Each stage's seconds, said on stderr as the next begins, and the whole run's at the end.
stage_name="" stage_start=$SECONDS
stage() {
    if [ -n "$stage_name" ]; then
        echo "== stage $stage_name: $((SECONDS - stage_start)) s (at $SECONDS s)" >&2
    fi
    stage_name="$1" stage_start=$SECONDS
}

stage deps
scripts/deps.sh test
jobs=$(nproc)
# shellcheck source=scripts/common.sh
. scripts/common.sh

stage checks
# The quick checks first: the formatting of every source, and the scripts' hygiene.
find src server tests tools fuzz bench -name node_modules -prune -o \( -name '*.cpp' -o -name '*.h' \) -print |
    sort | xargs clang-format --dry-run --Werror
# Every shell script the tree holds, known by its first line, so that none is missed or named
# after it has gone.
git grep -lI '^#!.*[/ ]\(ba\)\?sh$' | while read -r file; do
    if head -n 1 "$file" | grep -q '^#!.*[/ ]\(ba\)\?sh$'; then echo "$file"; fi
done | xargs shellcheck -x
# The page's scripts and its browser tests (ESLint, from the tests' npm packages).
scripts/web.sh lint
# The port's texts: the template is what the code marks, every catalogue whole and valid.
scripts/po.sh check

# The trees are named in CMakePresets.json: dev (build/), asan (build-asan/), fuzz, bench, release.
# The benchmarks are built here too (not run: they measure, they do not test), so they keep building.
stage dev-build
cmake --preset dev -DTAVLO_WERROR=ON -DTAVLO_BENCH=ON "${launcher[@]}" >/dev/null
cmake --build --preset dev -j "$jobs"
# The desktop entry and the metainfo as the build made them, with their translations.
desktop-file-validate build/packaging/org.tavlo.Tavlo.desktop
appstreamcli validate --pedantic --no-net build/packaging/org.tavlo.Tavlo.metainfo.xml
# This also builds the web page (build-web/, incremental) and plays it in headless Chromium
# (tests/web, web_browser_test).
stage dev-ctest
ctest --preset dev -j "$jobs"
# The few clang-tidy checks of .clang-tidy, over our own sources (the build's compile commands):
# the game's, its tools' and the score server's. A file clean before with exactly what it reads
# now is not checked again (scripts/tidy.py keeps the verdicts, for every clone).
stage clang-tidy
scripts/tidy.py build src tools server

# The Windows programs, cross-built (build-windows/; SDL2, FreeType and libpng for Windows come
# from ~/.cache/tavlo/windows once built), and their tests under Wine.
stage windows
TAVLO_WERROR=ON scripts/windows.sh test

stage asan-build
cmake --preset asan -DTAVLO_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build --preset asan -j "$jobs"
stage asan-ctest
ctest --preset asan -j "$jobs"

stage fuzz
scripts/fuzz.sh 30
stage ""
