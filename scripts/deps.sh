#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing need, when any is missing. The
# one list of them: every script installs through here.
# Usage: scripts/deps.sh GROUP...        play, test, web, web-test, windows, server, screenshots
#        scripts/deps.sh packages NAME... the named packages
set -euo pipefail

# Building and playing the game (gettext compiles the catalogues of the port's texts; zlib's
# CRC-32 sums a replay's pictures; libcurl and nlohmann-json send runs to a score server,
# --submit).
build=(build-essential cmake ninja-build pkg-config gettext libsdl2-dev libfreetype-dev
       libfontconfig-dev libpng-dev zlib1g-dev libcurl4-openssl-dev nlohmann-json3-dev
       fonts-dejavu-core fonts-ipafont-gothic)
# The page: emscripten builds it; node runs emscripten's tools and serves the page; gettext
# compiles the catalogues of the port's texts (so for the Windows build too).
web=(emscripten node-acorn nodejs gettext)
# The page's browser tests: Chromium, npm for their puppeteer-core, and the fonts of the page's
# Japanese and Chinese (the language test looks at every language's texts).
web_test=("${web[@]}" chromium npm fonts-noto-cjk)
# The Windows build: the compiler, zlib and the tools for Windows, the icon's tool (icoutils),
# the signing tool (osslsigncode; openssl makes the signing test's throwaway certificate), unzip
# and python3 for the installer's test (the portable zip, the shortcut), Wine, and for the window
# tests an X server of its own; dpkg-dev and xz-utils unpack the libraries' Debian sources; locales
# holds the locales' sources, from which the languages test compiles the ones Wine is started in;
# nlohmann-json (headers alone) reads the score server's answers there too.
windows=(g++-mingw-w64-x86-64 libz-mingw-w64-dev mingw-w64-tools binutils-mingw-w64-x86-64 cmake
         ninja-build gettext dpkg-dev xz-utils zip unzip nsis icoutils osslsigncode openssl
         python3 wine64 xvfb xdotool imagemagick fonts-ipafont-gothic fonts-dejavu-core locales
         nlohmann-json3-dev)
# The score server (server/: Boost's Beast, Asio and URL for HTTP; libseccomp filters the plays'
# system calls), the PostgreSQL its tests start, cpp-httplib as the tests' client, Caddy in front
# and systemd-analyze for the deployment's test, wrk and slowhttptest for its benchmark.
server=(libboost1.81-dev libboost-url1.81-dev libsqlite3-dev libpq-dev libutf8proc-dev libicu-dev
        libssl-dev nlohmann-json3-dev libseccomp-dev postgresql libcpp-httplib-dev caddy systemd
        wrk slowhttptest)
# Everything scripts/test.sh runs: the tests, the sanitizer tree (clang's runtime), the
# formatting and lint tools, the package checks, the page's, the Windows build's and the score
# server's tests.
test=("${build[@]}" ccache libgtest-dev libgmock-dev libbenchmark-dev libxtst-dev xvfb clang
      libclang-rt-14-dev dpkg-dev file clang-format clang-tidy shellcheck lintian appstream
      python3-polib
      desktop-file-utils "${web_test[@]}" "${windows[@]}" "${server[@]}")

packages=()
[ $# -gt 0 ] || set -- play
while [ $# -gt 0 ]; do
    case "$1" in
        play) packages+=("${build[@]}" xfonts-base) ;;  # SDL's X11 dialogs draw with its core fonts
        test) packages+=("${test[@]}") ;;
        web) packages+=("${web[@]}") ;;
        web-test) packages+=("${web_test[@]}") ;;
        windows) packages+=("${windows[@]}") ;;
        server) packages+=("${build[@]}" "${server[@]}") ;;
        screenshots) packages+=("${build[@]}" imagemagick) ;;
        packages)
            packages+=("${@:2}")
            break
            ;;
        *)
            echo "usage: $0 [play|test|web|web-test|windows|server|screenshots]... | packages NAME..." >&2
            exit 2
            ;;
    esac
    shift
done

# A command of the package's name also counts: a node from elsewhere brings its own npm.
missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    if [ "$status" != "install ok installed" ] && ! command -v "$p" >/dev/null &&
        [[ " ${missing[*]} " != *" $p "* ]]; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
