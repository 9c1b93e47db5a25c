#!/usr/bin/env bash
# What the build scripts share; sourced by them from the project's root.

# The CMake option that makes warnings errors, when TAVLO_WERROR asks for it (the test script's
# builds do), as an array to put on a cmake command line: cmake ... "${werror[@]}".
# shellcheck disable=SC2034  # used by the scripts that source this file
werror=()
if [ -n "${TAVLO_WERROR:-}" ]; then werror=(-DTAVLO_WERROR="$TAVLO_WERROR"); fi
