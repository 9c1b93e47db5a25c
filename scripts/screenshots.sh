#!/usr/bin/env bash
# Makes the README's pictures of the game, docs/screenshots/*.png, from the golden round replay.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: the dev preset's build/; the program and
# tavlo.rka are built)
#
# tests/e2e/replays/round.replay is played on the headless host with its captures on (8-bit .bmp,
# one a change of the screen); each picture is the screen at a chosen moment of that run,
# enlarged twice. The replay's frames are checked by the test e2e_golden_replays, so the pictures
# come out the same every time; a replay recorded anew (scripts/replays.sh --make-round) needs
# its moments chosen again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh screenshots
if [ -n "${1:-}" ]; then
    build=$(realpath "$1")
    cmake --build "$build" --target tavlo tavlo_archive >/dev/null
else
    build=$root/build
    cmake --preset dev >/dev/null
    cmake --build --preset dev --target tavlo tavlo_archive >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavlo-screenshots-XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$build/tavlo.rka" "$work/"
TAVLO_VIDEO=headless TAVLO_CAPTURE="$work/frames" "$build/src/tavlo" --data-dir "$work" \
    --replay tests/e2e/replays/round.replay --verify >/dev/null

# The moments, in the replay's ms: the logo; the title and its menu; the last hit of the round
# (score 100); the next picture crossing the band unanswered; the rating once it has got away.
mkdir -p docs/screenshots
while read -r name at; do
    frame=$(awk -F'\t' -v at="$at" '$2 <= at { f = $1 } END { print f }' "$work/frames/frames.tsv")
    convert "$work/frames/$frame.bmp" -scale 200% -strip "png8:docs/screenshots/$name.png"
    echo "docs/screenshots/$name.png: capture $frame at $at ms"
done <<'EOF'
logo 2500
title 5500
hit 107734
play 108150
rating 109000
EOF
