#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing need, when any is missing.
# Usage: scripts/deps.sh [play|test|screenshots]
#        scripts/deps.sh packages NAME...   (the named packages: the other scripts' own lists)
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libsdl2-dev libfreetype-dev
          libfontconfig-dev libpng-dev fonts-dejavu-core fonts-ipafont-gothic)
case "${1:-play}" in
    play) packages+=(xfonts-base) ;;  # SDL's dialogs on X11 draw with the X server's core fonts
    test)
        packages+=(libgtest-dev libgmock-dev libbenchmark-dev libxtst-dev xvfb clang libclang-rt-14-dev g++-mingw-w64-x86-64
                   dpkg-dev file clang-format clang-tidy shellcheck lintian appstream
                   desktop-file-utils
                   emscripten node-acorn nodejs chromium npm  # the web build and its browser test
                   # the score server (server/), and the PostgreSQL its tests start
                   libcpp-httplib-dev libsqlite3-dev libpq-dev libutf8proc-dev libssl-dev
                   nlohmann-json3-dev postgresql)
        ;;
    screenshots) packages+=(imagemagick) ;;
    packages) packages=("${@:2}") ;;
    *)
        echo "usage: $0 [play|test|screenshots] | packages NAME..." >&2
        exit 2
        ;;
esac

# A command of the package's name also counts: a node from elsewhere brings its own npm.
missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || command -v "$p" >/dev/null || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
