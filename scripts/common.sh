#!/usr/bin/env bash
# What the build scripts share; sourced by them from the project's root.

# The CMake option that makes warnings errors, when TAVLO_WERROR asks for it (the test script's
# builds do), as an array to put on a cmake command line: cmake ... "${werror[@]}".
# shellcheck disable=SC2034  # used by the scripts that source this file
werror=()
if [ -n "${TAVLO_WERROR:-}" ]; then werror=(-DTAVLO_WERROR="$TAVLO_WERROR"); fi

# ccache in front of the compilers where it is installed (scripts/deps.sh test installs it): a
# tree built again, or another clone, compiles only what changed. Paths under the clone are
# hashed relative to it, so clones in other folders share the cache.
# shellcheck disable=SC2034
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
