#!/usr/bin/env bash
# Makes the README's pictures of the game, docs/screenshots/*.png, from a scripted headless run.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: the dev preset's build/; the program and
# tavlo.rka are built)
#
# The run is the same every time: the headless host keeps virtual time, and the random pictures
# follow from the clock at start, which faketime holds still. The script runs the game twice:
# once to find when play begins, then with the right arrow key pressed for the first pictures,
# none for the next (which ends the round). Each picture is the screen at a chosen virtual
# millisecond, from the host's captures (8-bit .bmp), enlarged twice.
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

work=$(mktemp -d /tmp/tavlo-screenshots-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$build/tavlo.rka" "$work/"

# The clock at start, as faketime shows it, seeds the game's random numbers.
start="2024-05-01 12:00:00"
seed=$(TZ=UTC date -d "$start UTC" +%s)
best=27  # the best score in "score.dat"
hits=4   # pictures answered before one is let go

# Runs the game headless with an input script; its screens go to $work/$1.
run() {
    local name=$1 script=$2
    rm -rf "${work:?}/$name"
    python3 -c "import struct,sys; sys.stdout.buffer.write(struct.pack('<i', $best))" >"$work/score.dat"
    (cd "$work" && TZ=UTC FAKETIME_DONT_FAKE_MONOTONIC=1 TAVLO_VIDEO=headless \
        TAVLO_CAPTURE="$work/$name" TAVLO_INPUT="$script" TAVLO_TIME_LIMIT=60000 \
        faketime "$start" "$build/src/tavlo" >/dev/null 2>&1) || true
}

# Pass 1: the title from about 5.2 s; Enter at 7 s starts a round.
printf '7000 down RETURN\n7050 up RETURN\n30000 down PAUSE\n' >"$work/first.txt"
run first "$work/first.txt"

# Play starts with the flip that ends the countdown's last 900 ms pause. Then, knowing the
# pictures' kinds (glibc's rand after srand(seed)) and their speeds (single precision), press each
# answer halfway across the screen.
python3 - "$work" "$seed" "$hits" <<'PY'
import ctypes, struct, sys
work, seed, hits = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
flips = [int(line.split('\t')[1]) for line in open(f"{work}/first/frames.tsv")
         if line.rstrip().endswith('flip')]
play = None
for a, t in zip(flips, flips[1:]):
    if 900 <= t - a < 1000:
        play = t  # the last such pause is the countdown's
if play is None:
    sys.exit("no round found in the first run's captures")
libc = ctypes.CDLL("libc.so.6")
libc.srand(seed)
f32 = lambda v: struct.unpack('f', struct.pack('f', v))[0]
keys = ["RIGHT", "UP", "LEFT", "DOWN"]
speed, frame, script, marks = f32(3.0), 0, [], {}
for picture in range(hits + 1):
    kind = libc.rand() % 4
    x, frames = f32(320.0), 0
    while True:
        frames += 1
        x = f32(x - speed)
        if x <= -82.0:
            break
    first = frame
    if picture < hits:
        at = play + 16 * (first + frames // 2) + 5
        script += [f"{at} down {keys[kind]}", f"{at + 30} up {keys[kind]}"]
    if picture == hits - 1:
        marks["play"] = play + 16 * (first + frames * 2 // 5)  # picture crossing, not yet hit
        marks["hit"] = play + 16 * (first + frames * 3 // 4)   # the same picture, hit
    frame += frames
    speed = f32(speed + f32(0.1))
marks["rating"] = play + 16 * frame + 1000
open(f"{work}/second.txt", "w").write(
    "7000 down RETURN\n7050 up RETURN\n" + "\n".join(script) + f"\n{marks['rating'] + 3000} down PAUSE\n")
open(f"{work}/marks.txt", "w").write(
    f"logo 2500\ntitle 6500\nplay {marks['play']}\nhit {marks['hit']}\nrating {marks['rating']}\n")
PY
run second "$work/second.txt"

# The screen at each chosen moment: the last capture at or before it.
mkdir -p "$root/docs/screenshots"
while read -r name at; do
    frame=$(awk -F'\t' -v at="$at" '$2 <= at { f = $1 } END { print f }' "$work/second/frames.tsv")
    convert "$work/second/$frame.bmp" -scale 200% -strip "png8:$root/docs/screenshots/$name.png"
    echo "docs/screenshots/$name.png: capture $frame at $at ms"
done <"$work/marks.txt"
