#!/usr/bin/env bash
# The golden replays in tests/e2e/replays: each NAME.replay is played with --verify and its
# frames (index, clock, CRC-32 of the 8-bit picture and its palette) compared with NAME.frames,
# its report with NAME.report.
#
#   scripts/replays.sh [--check]        compare (what the test e2e_golden_replays runs)
#   scripts/replays.sh --update         write the expected files anew, saying which frames changed
#   scripts/replays.sh --make-round     record round.replay again with the bot (a new seed)
#   scripts/replays.sh --make-paced     record paced.replay again: the bot at a person's pace
#   scripts/replays.sh --make-unseen    record the server tests' runs of 9 and 10 unseen hits,
#                                       tests/server/runs/unseen9.replay and unseen10.replay
# Options: --tavlo BIN (default build/src/tavlo), --archive RKA (default build/tavlo.rka),
# --build DIR (default build; where the bot is).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$root/tests/e2e/replays
action=check
build=$root/build
tavlo=''
archive=''
while [ $# -gt 0 ]; do
    case $1 in
        --check) action=check ;;
        --update) action=update ;;
        --make-round) action=make-round ;;
        --make-paced) action=make-paced ;;
        --make-unseen) action=make-unseen ;;
        --tavlo) tavlo=$2; shift ;;
        --archive) archive=$2; shift ;;
        --build) build=$2; shift ;;
        *) echo "replays.sh: unknown argument $1" >&2; exit 2 ;;
    esac
    shift
done
tavlo=${tavlo:-$build/src/tavlo}
archive=$(realpath "${archive:-$build/tavlo.rka}")
work=$(mktemp -d "${TMPDIR:-/tmp}/tavlo-replays-XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$archive" "$work/tavlo.rka"

if [ "$action" = make-unseen ]; then
    for unseen in 9 10; do
        out=$root/tests/server/runs/unseen$unseen.replay
        printf '\0\0\0\0' >"$work/score.dat"
        (cd "$work" && TAVLO_VIDEO=headless "$build/tests/e2e/replays/tavlo_make_round_replay" \
            "$out" --unseen "$unseen") || true  # the game ends with its own code, 1
        tail -n 1 "$out"
    done
    exit 0
fi

if [ "$action" = make-round ] || [ "$action" = make-paced ]; then
    name=round
    pace=()
    if [ "$action" = make-paced ]; then
        name=paced
        pace=(--paced)
    fi
    printf '\0\0\0\0' >"$work/score.dat"
    (cd "$work" && TAVLO_VIDEO=headless "$build/tests/e2e/replays/tavlo_make_round_replay" \
        "$folder/$name.replay" "${pace[@]}") || true  # the game ends with its own code, 1
    tail -n 1 "$folder/$name.replay"
    exit 0
fi

# Lines of two frame lists that differ, by frame index: at most 10 shown.
changed_frames() {
    diff <(cut -f1,2,3 "$1") <(cut -f1,2,3 "$2") | grep -E '^[<>]' | head -n 10 || true
}

status=0
for replay in "$folder"/*.replay; do
    name=$(basename "$replay" .replay)
    rm -f "$work/frames"
    set +e
    TAVLO_FRAME_SUMS="$work/frames" "$tavlo" --data-dir "$work" --replay "$replay" --verify \
        >"$work/report" 2>"$work/errors"
    code=$?
    set -e
    # The report names the file; the expected one names it by its base name.
    sed -i "s|$folder/||" "$work/report"
    touch "$work/frames"
    if [ $code -ne 0 ]; then
        echo "$name: exit $code: $(cat "$work/errors")"
        status=1
    fi
    if [ "$action" = update ]; then
        if [ -f "$folder/$name.frames" ] && ! cmp -s "$work/frames" "$folder/$name.frames"; then
            echo "$name: frames changed (old <, new >):"
            changed_frames "$folder/$name.frames" "$work/frames"
        fi
        cp "$work/frames" "$folder/$name.frames"
        cp "$work/report" "$folder/$name.report"
        echo "$name: $(wc -l <"$work/frames") frames written"
        continue
    fi
    if ! cmp -s "$work/frames" "$folder/$name.frames"; then
        echo "$name: frames differ from $name.frames (expected <, now >):"
        changed_frames "$folder/$name.frames" "$work/frames"
        status=1
    elif ! cmp -s "$work/report" "$folder/$name.report"; then
        echo "$name: the report differs from $name.report:"
        diff "$folder/$name.report" "$work/report" || true
        status=1
    else
        echo "$name: $(wc -l <"$work/frames") frames as expected"
    fi
done
exit $status
