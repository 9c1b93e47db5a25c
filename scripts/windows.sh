#!/usr/bin/env bash
# The game as a Windows program, cross-built with MinGW-w64 and tested under Wine.
#   scripts/windows.sh deps      builds SDL2, FreeType and libpng for Windows from Debian's sources
#   scripts/windows.sh build     (deps, then) build-windows/: tavlo.exe, rka.exe, SDL2.dll, tavlo.rka
#   scripts/windows.sh test      builds, then runs the tests under Wine (ctest, one Wine prefix)
#   scripts/windows.sh package   builds, then the installer and the portable zip in build-windows/
#   scripts/windows.sh bench     the Windows benchmarks (bench/windows) under Wine
# The libraries are scripts/windows-deps.sh's (its header says what it keeps where); the Debian
# packages scripts/deps.sh's (the windows group).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

command="${1:-build}"
case "$command" in deps | build | test | package | bench) ;; *)
    echo "usage: $0 deps | build | test | package | bench" >&2
    exit 2
    ;;
esac

scripts/deps.sh windows

# SDL2, FreeType and libpng for Windows (and Google Benchmark for the bench command): built
# from Debian's sources once, then kept (scripts/windows-deps.sh says where).
deps="$root/build-windows/deps"
jobs=$(nproc)
if [ "$command" = bench ]; then scripts/windows-deps.sh --bench; else scripts/windows-deps.sh; fi
[ "$command" = deps ] && exit 0

if [ "$command" = bench ]; then
    # The Windows benchmarks (bench/windows) in a build of their own, run under Wine.
    bench_dir=build-windows/bench
    cmake --preset windows -B "$bench_dir" -DTAVLO_TESTS=OFF -DTAVLO_BENCH=ON \
        -DCMAKE_PREFIX_PATH="$deps/sdl2;$deps/freetype;$deps/libpng;$deps/benchmark" >/dev/null
    nice cmake --build "$bench_dir" -j "$jobs" --target tavlo_sleep_bench
    scripts/wine-run.sh "$bench_dir/bench/windows/tavlo_sleep_bench.exe" "${@:2}"
    exit 0
fi

# The cross build: the windows preset (cmake/mingw-w64-x86_64.cmake, the libraries above).
# Warnings are errors when TAVLO_WERROR says so (the test script's build does).
# shellcheck source=scripts/common.sh
. scripts/common.sh
cmake --preset windows "${werror[@]}" "${launcher[@]}" >/dev/null
nice cmake --build --preset windows -j "$jobs"

case "$command" in
    build)
        echo "built build-windows/: src/tavlo.exe, tools/rka/rka.exe, SDL2.dll, tavlo.rka" >&2
        ;;
    test)
        # One Wine prefix for every test (build-windows/wine), made before the tests start.
        scripts/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
        ctest --preset windows -j "$jobs"
        ;;
    package)
        # (Made with every build: packaging/windows/CMakeLists.txt.)
        ls -l build-windows/tavlo-*-setup.exe build-windows/tavlo-*-portable.zip >&2
        ;;
esac
