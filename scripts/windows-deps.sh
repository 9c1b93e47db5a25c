#!/usr/bin/env bash
# Builds the Windows libraries of scripts/windows-libraries.txt from exactly the Debian source
# versions listed there, for scripts/windows.sh.   Usage: scripts/windows-deps.sh [--bench]
# Each library lands in build-windows/deps/NAME-VERSION-KEY, linked as build-windows/deps/LINK,
# and is kept in ${XDG_CACHE_HOME:-~/.cache}/tavlo/windows for every clone on the machine. KEY is
# a hash of the library's line and the toolchain file: a bump or new options build it again.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=0
case "${1:-}" in "") ;; --bench) bench=1 ;; *) echo "usage: $0 [--bench]" >&2 && exit 2 ;; esac
scripts/deps.sh windows

toolchain="$PWD/cmake/mingw-w64-x86_64.cmake"
deps="$PWD/build-windows/deps"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/tavlo/windows"
apt_dir="$deps/apt"
apt=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
     -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "Debug::NoLocking=1"
     -o "Dir::State::status=/var/lib/dpkg/status" -o "APT::Sandbox::User=root")
mkdir -p "$deps" "$cache"
# apt's own source entries: the machine's bookworm entries (its mirror, proxy) as deb-src.
apt_update() {
    # Once a day is enough: the list above decides what is built.
    [ -n "$(find "$apt_dir/.updated" -mtime -1 2>/dev/null)" ] && return 0
    mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    sed -n 's/^[[:space:]]*deb\([[:space:]].*[[:space:]]bookworm[-a-z]*[[:space:]].*\)$/deb-src\1/p' \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list >"$apt_dir/sources.list" 2>/dev/null || true
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /Suites:[^\n]*bookworm/ && !/Enabled:[[:space:]]*no/ {
                 sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$file" >"$apt_dir/parts/${file##*/}"
    done
    apt-get "${apt[@]}" -qq update
    touch "$apt_dir/.updated"
}

# build NAME VERSION SHA256 LINK OPTIONS...: the library from the cache, or built from its source.
build() {
    local name="$1" version="$2" sum="$3" link="$4" key work
    shift 4
    key="$name-$version-$( (echo "$name $version $sum $*"; cat "$toolchain") | sha256sum | cut -c1-12)"
    if [ ! -f "$deps/$key/.done" ]; then
        if [ -f "$cache/$key/.done" ]; then
            echo "$name $version: from $cache" >&2
            rm -rf "${deps:?}/$key" && cp -a "$cache/$key" "$deps/$key"
        else
            echo "$name $version: building from source" >&2
            apt_update
            work="$deps/src/$key"
            rm -rf "$work" "${deps:?}/$key" && mkdir -p "$work"
            (cd "$work" && apt-get "${apt[@]}" -qq source --download-only --only-source "$name=$version")
            echo "$sum  $work/${name}_${version#*:}.dsc" | sha256sum --check --quiet
            # (The .dsc is known by its checksum above; dpkg-source checks the rest against it.)
            dpkg-source --no-copy -x "$work/${name}_${version#*:}.dsc" "$work/src" >/dev/null 2>&1
            cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
                -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/$key" \
                -DCMAKE_INSTALL_LIBDIR=lib "$@" >/dev/null
            nice cmake --build "$work/build" -j "$(nproc)" >/dev/null
            cmake --install "$work/build" >/dev/null
            touch "$deps/$key/.done" && rm -rf "$work"
            # For other clones: copied under a name of this run's, then renamed (whole or none).
            cp -a "$deps/$key" "$cache/$key.$$"
            [ -d "$cache/$key" ] || mv "$cache/$key.$$" "$cache/$key"
            rm -rf "${cache:?}/$key.$$"
        fi
    fi
    ln -sfn "$key" "$deps/$link"
    # Other builds of it here are not used now (the cache keeps them for other clones).
    find "$deps" -mindepth 1 -maxdepth 1 -type d -name "$name-*" ! -name "$key" -exec rm -rf {} +
}

while read -r name version sum link options; do
    case "$name" in "" | "#"*) continue ;; esac
    [ "$name" = benchmark ] && [ "$bench" = 0 ] && continue
    # shellcheck disable=SC2086  # the options are words
    build "$name" "$version" "$sum" "$link" $options
done <scripts/windows-libraries.txt
rm -rf "${deps:?}/src"
