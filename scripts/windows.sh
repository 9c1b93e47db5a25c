#!/usr/bin/env bash
# The game as a Windows program, cross-built with MinGW-w64 and tested under Wine.
#   scripts/windows.sh deps      builds SDL2, FreeType and libpng for Windows from Debian's sources
#   scripts/windows.sh build     (deps, then) build-windows/: tavlo.exe, rka.exe, SDL2.dll, tavlo.rka
#   scripts/windows.sh test      builds, then runs the tests under Wine (ctest, one Wine prefix)
#   scripts/windows.sh package   builds, then the installer and the portable zip in build-windows/
#   scripts/windows.sh bench     the Windows benchmarks (bench/windows) under Wine
# The libraries come from Debian's source packages (bookworm's, through an apt configuration of
# this script's own under build-windows/deps/apt, whose entries are the machine's own deb entries
# as deb-src) and are kept by source version, both in
# build-windows/deps/ and in ${XDG_CACHE_HOME:-~/.cache}/tavlo/windows, so that another clone on
# the same machine does not build them again. Builds that the present versions and recipe do not
# use are removed from both.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

command="${1:-build}"
case "$command" in deps | build | test | package | bench) ;; *)
    echo "usage: $0 deps | build | test | package | bench" >&2
    exit 2
    ;;
esac

# Debian packages: the compiler, zlib and the tools for Windows, the icon's tool (icoutils),
# Wine, and for the window tests an X server of its own.
scripts/deps.sh packages g++-mingw-w64-x86-64 libz-mingw-w64-dev mingw-w64-tools \
    binutils-mingw-w64-x86-64 cmake ninja-build dpkg-dev xz-utils zip unzip nsis icoutils wine64 xvfb \
    xdotool imagemagick \
    fonts-ipafont-gothic fonts-dejavu-core

toolchain="$root/cmake/mingw-w64-x86_64.cmake"
deps="$root/build-windows/deps"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/tavlo/windows"
jobs=2

# How the libraries are built: part of each cached build's name, so that a change to the recipe
# below or to the toolchain file builds them again.
recipe=$( (sed -n '/^build_library()/,/^}/p' "$0"; cat "$toolchain") | sha256sum | cut -c1-12)

# apt with sources and state of its own: a deb-src entry for bookworm, nothing of the system's.
apt_dir="$deps/apt"
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o "Dir::State::status=/var/lib/dpkg/status" -o "APT::Sandbox::User=root"
             -o "Debug::NoLocking=1")
apt_ready=""
# The machine's own Debian entries (its mirror or proxy, its security updates) as source entries,
# deb-src in place of deb; entries of other suites (a vendor's repository) are left out.
# One-line entries of a sources.list file:
oneline_sources() {
    sed -n 's/^[[:space:]]*deb\([[:space:]].*[[:space:]]bookworm[-a-z]*[[:space:]].*\)$/deb-src\1/p' "$1"
}
# Stanzas of a deb822 .sources file (a stanza ends at a blank line), kept when enabled, of type
# deb and for bookworm:
deb822_sources() {
    awk 'function flush() {
             if (stanza != "" && deb && bookworm && !disabled) printf "%s\n", stanza
             stanza = ""; deb = 0; bookworm = 0; disabled = 0
         }
         /^[[:space:]]*$/ { flush(); next }
         /^#/ { next }
         /^Types:/ { deb = ($0 ~ /[[:space:]]deb([[:space:]]|$)/); $0 = "Types: deb-src" }
         /^Suites:/ { bookworm = ($0 ~ /[[:space:]]bookworm/) }
         /^Enabled:[[:space:]]*no/ { disabled = 1 }
         { stanza = stanza $0 "\n" }
         END { flush() }' "$1"
}
apt_update() {
    [ -n "$apt_ready" ] && return 0
    mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    rm -f "$apt_dir/parts/"*
    : >"$apt_dir/sources.list"
    local file
    [ -f /etc/apt/sources.list ] && oneline_sources /etc/apt/sources.list >"$apt_dir/sources.list"
    for file in /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] && oneline_sources "$file" >>"$apt_dir/sources.list"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] && deb822_sources "$file" >"$apt_dir/parts/${file##*/}"
    done
    if ! cat "$apt_dir/sources.list" "$apt_dir/parts/"* 2>/dev/null | grep -q '^deb-src\|^Types: deb-src'; then
        echo "no bookworm entry in the machine's apt sources (/etc/apt/sources.list{,.d/})" >&2
        exit 1
    fi
    # Once a day is enough: the versions decide what is built.
    if [ -z "$(find "$apt_dir/lists" -maxdepth 1 -name '*Sources*' -mtime -1 2>/dev/null)" ]; then
        apt-get "${apt_options[@]}" -qq update
    fi
    apt_ready=1
}

# The versions of source package $1 that the sources offer, newest first.
source_versions() {
    apt-cache "${apt_options[@]}" showsrc --only-source "$1" 2>/dev/null |
        sed -n 's/^Version: //p' | sort -V -r -u
}

# build_library NAME SOURCE_DIR PREFIX: configures, builds and installs one library for Windows.
build_library() {
    local name="$1" src="$2" prefix="$3"
    local common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
                  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib)
    local options=()
    case "$name" in
        libsdl2)
            # SDL as a DLL (its licence lets it be replaced), no tests, no SDL_main.
            options=(-DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON
                     -DSDL_INSTALL_TESTS=OFF)
            ;;
        freetype)
            # Only what TrueType and OpenType fonts need: no PNG glyphs, no HarfBuzz. Its gzip
            # support uses MinGW's zlib, as libpng does: FreeType's own copy would define the
            # same zlib functions again in the program's one link.
            options=(-DBUILD_SHARED_LIBS=OFF -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON
                     -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
                     -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a
                     -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include)
            ;;
        libpng1.6)
            # Static, over MinGW's zlib (libz-mingw-w64-dev).
            options=(-DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
                     -DPNG_BUILD_ZLIB=OFF -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a
                     -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include)
            ;;
    esac
    cmake -S "$src" -B "$src/build-mingw" "${common[@]}" "${options[@]}" >/dev/null
    nice cmake --build "$src/build-mingw" -j "$jobs" >/dev/null
    cmake --install "$src/build-mingw" >/dev/null
}

# build_benchmark NAME SOURCE_DIR PREFIX: Google Benchmark for Windows (the bench command only;
# a recipe of its own, so that it does not make the libraries above build again).
build_benchmark() {
    local name="$1" src="$2" prefix="$3"
    cmake -S "$src" -B "$src/build-mingw" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
        -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF \
        -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_INSTALL_DOCS=OFF -DBUILD_SHARED_LIBS=OFF \
        -DGIT_VERSION="${src##*-}" -DHAVE_STD_REGEX=ON -DHAVE_STEADY_CLOCK=ON >/dev/null
    nice cmake --build "$src/build-mingw" -j "$jobs" >/dev/null
    cmake --install "$src/build-mingw" >/dev/null
}
bench_recipe=$( (sed -n '/^build_benchmark()/,/^}/p' "$0"; cat "$toolchain") | sha256sum | cut -c1-12)

# deps_library NAME LINK [BUILDER RECIPE]: makes $deps/LINK point at the library built from the
# newest source version that can be had: from build-windows/, from the cache, or built from
# source (by build_library and this script's recipe unless told), in that order. (A version the
# index lists may be missing from the mirror: the next one is tried.)
deps_library() {
    local name="$1" link="$2" builder="${3:-build_library}" how="${4:-$recipe}" version key
    apt_update
    local versions
    mapfile -t versions < <(source_versions "$name")
    if [ ${#versions[@]} -eq 0 ]; then
        echo "no source package $name in bookworm" >&2
        exit 1
    fi
    for version in "${versions[@]}"; do
        key="$name-$version-$how"
        if [ -f "$deps/$key/.done" ]; then
            ln -sfn "$key" "$deps/$link"
            kept+=("$key")
            return 0
        fi
        cache_lock -s
        if [ -f "$cache/$key/.done" ]; then
            echo "$name $version: from $cache" >&2
            rm -rf "${deps:?}/$key"
            cp -a "$cache/$key" "$deps/$key"
            cache_unlock
            ln -sfn "$key" "$deps/$link"
            kept+=("$key")
            return 0
        fi
        cache_unlock
        local start=$SECONDS work="$deps/src/$key"
        rm -rf "$work" "${deps:?}/$key"
        mkdir -p "$work"
        if ! (cd "$work" && apt-get "${apt_options[@]}" -qq source --only-source \
                "$name=$version" >/dev/null 2>&1); then
            echo "$name $version: the source cannot be fetched, trying an older one" >&2
            rm -rf "$work"
            continue
        fi
        echo "$name $version: building from source" >&2
        local src
        src=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
        "$builder" "$name" "$src" "$deps/$key"
        touch "$deps/$key/.done"
        rm -rf "$work"
        echo "$name $version: built in $((SECONDS - start)) s" >&2
        # Kept for other clones on this machine: copied under a temporary name, then renamed.
        cache_lock -s
        rm -rf "${cache:?}/$key.tmp"
        cp -a "$deps/$key" "$cache/$key.tmp"
        rm -rf "${cache:?}/$key"
        mv "$cache/$key.tmp" "$cache/$key"
        cache_unlock
        ln -sfn "$key" "$deps/$link"
        kept+=("$key")
        return 0
    done
    echo "no source of $name could be fetched" >&2
    exit 1
}

# The cache's lock (flock on $cache/.lock, fd 8): taken shared while a build is copied in or
# out, exclusive to remove old builds, so that nothing is removed while another clone copies it.
cache_lock() { flock "$@" 8; }
cache_unlock() { flock -u 8; }

# Builds of the libraries this command uses that the builds now in use (kept) do not need: other source
# versions and other recipes (this script's or its toolchain file's earlier versions), in
# build-windows/deps and in the cache. Only folders named as this script names builds go, never
# through a link; the cache is skipped when another clone is copying there at the moment.
kept=()
prune_builds() {
    local dir entry name
    local libraries='libsdl2|freetype|libpng1\.6'
    [ "$command" = bench ] && libraries+='|benchmark'
    local pattern="^($libraries)-[^/]+-[0-9a-f]{12}(\\.tmp)?\$"
    for dir in "$deps" "$cache"; do
        if [ "$dir" = "$cache" ] && ! cache_lock -x -n; then
            echo "the cache is in use: its old builds stay for now" >&2
            continue
        fi
        for entry in "$dir"/*; do
            name="${entry##*/}"
            if [ ! -d "$entry" ] || [ -L "$entry" ] || ! [[ "$name" =~ $pattern ]] ||
                [[ " ${kept[*]} " == *" $name "* ]]; then
                continue
            fi
            echo "removing an old build: $entry" >&2
            rm -rf -- "$entry"
        done
        [ "$dir" = "$cache" ] && cache_unlock
    done
}

mkdir -p "$deps" "$cache"
exec 8>>"$cache/.lock"
deps_library libsdl2 sdl2
deps_library freetype freetype
deps_library libpng1.6 libpng
[ "$command" = bench ] && deps_library benchmark benchmark build_benchmark "$bench_recipe"
prune_builds
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
werror=()
[ -n "${TAVLO_WERROR:-}" ] && werror=(-DTAVLO_WERROR="$TAVLO_WERROR")
cmake --preset windows "${werror[@]}" >/dev/null
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
