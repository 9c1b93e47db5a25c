#!/usr/bin/env bash
# The game in a browser.
#   scripts/web.sh build          builds build-web/site/ (index.html, i18n.js, bar.js, offline.js,
#                                 touch.js, tavlo.js, tavlo.wasm, tavlo.data with the catalogues,
#                                 the manifest, its icons and the service worker sw.js)
#   scripts/web.sh serve [PORT]   builds, then serves it on http://localhost:PORT/ (default 8014)
#   scripts/web.sh test           lints, builds, then plays it in headless Chromium (tests/web)
#   scripts/web.sh lint           ESLint over the page's scripts and its tests (no build)
# Installs (scripts/deps.sh) the Debian packages of its web group, web-test for the test (the
# archive comes from the native build, so that build's packages too).
set -euo pipefail
cd "$(dirname "$0")/.."

command="${1:-build}"
case "$command" in build | serve | test | lint) ;; *)
    echo "usage: $0 build | serve [PORT] | test | lint" >&2
    exit 2
    ;;
esac

case "$command" in
    test) scripts/deps.sh web-test server ;;
    lint) scripts/deps.sh web-test ;;
    *) scripts/deps.sh web ;;
esac
# Emscripten's helpers find Debian's acorn here.
export NODE_PATH=/usr/share/nodejs

# The tests' npm packages (puppeteer-core, ESLint), as the lock file pins them; again when the
# lock file changes.
npm_packages() {
    (cd tests/web && { [ node_modules/.package-lock.json -nt package-lock.json ] ||
        npm ci --no-audit --no-fund </dev/null; })
}
# ESLint over the page's modules and the tests (tests/web/eslint.config.js), or the files named.
lint() {
    npm_packages
    if [ $# -eq 0 ]; then set -- src/platform/hosts/browser tests/web; fi
    tests/web/node_modules/.bin/eslint --max-warnings 0 -c tests/web/eslint.config.js "$@"
}
if [ "$command" = lint ]; then
    lint
    echo "ESLint: the page's scripts and tests pass"
    exit 0
fi
if [ "$command" = test ]; then lint; fi

# The archive and the page's icons (and, for the test, the headless program it compares with)
# from the native build:
# build/, or the one TAVLO_BUILD names (already configured).
native="${TAVLO_BUILD:-$PWD/build}"
export TAVLO_BUILD="$native"
if [ ! -f "$native/CMakeCache.txt" ]; then
    scripts/deps.sh play >/dev/null
    cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=(tavlo_archive tavlo_icons)
# The test plays the page beside the score server too, where the native build has it.
if [ "$command" = test ]; then
    targets+=(tavlo)
    # (The list read whole first: grep -q ending the pipe early killed the listing with SIGPIPE,
    # which pipefail took for no score server, and the test ran a stale one.)
    help=$(cmake --build "$native" --target help)
    if grep -q 'tavlo-scores' <<<"$help"; then
        targets+=(tavlo-scores)
    fi
fi
cmake --build "$native" -j "$(nproc)" --target "${targets[@]}"

# The web preset: the game's and the platform's own targets, the browser host in place of the
# others, no fonts. Incremental in build-web/; in another clone too, through ccache (em++ as
# any compiler) and scripts/link-cache.py, which keeps the page's link for the same inputs.
# Warnings are errors when TAVLO_WERROR says so (the test script's build does).
# shellcheck source=scripts/common.sh
. scripts/common.sh
emcmake cmake --preset web "${werror[@]}" "${launcher[@]}" \
    -DCMAKE_CXX_LINKER_LAUNCHER="$PWD/scripts/link-cache.py" \
    -DTAVLO_ARCHIVE="$native/tavlo.rka" -DTAVLO_ICONS="$native/icons/web" >/dev/null
cmake --build --preset web -j "$(nproc)"

case "$command" in
    build)
        echo "built build-web/site/"
        ;;
    serve)
        port="${2:-8014}"
        echo "Tavlo: open http://localhost:$port/ (Ctrl+C stops)"
        exec node tests/web/serve.mjs build-web/site "$port"
        ;;
    test)
        # The service worker as the build wrote it (its template is no script until then).
        lint build-web/site/sw.js
        # The desktop page, a phone's, the best score's storage, the updates, the page beside the
        # score server, the page's languages (all run, any failing fails).
        status=0
        node tests/web/web_test.mjs || status=1
        node tests/web/phone_test.mjs || status=1
        node tests/web/storage_test.mjs || status=1
        node tests/web/update_test.mjs || status=1
        node tests/web/scores_test.mjs || status=1
        node tests/web/language_test.mjs || status=1
        exit "$status"
        ;;
esac
