#!/usr/bin/env bash
# The game under a Windows user whose name is outside ASCII (Wine takes it from USER when it
# makes the prefix, so the temporary folder is C:\users\<that name>\Temp), playing in a folder and
# with replay names in ü and Japanese: a golden replay verifies to its report (its scratch folder
# under that Temp, removed after), a run is recorded and that recording verifies.
#   unicode_test.sh TAVLO.EXE ARCHIVE REPLAY REPORT
set -euo pipefail
tavlo=$1 archive=$2 replay=$3 report=$4
root="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }

export LANG=C.UTF-8 LC_ALL=C.UTF-8 TAVLO_WINE_LINGER=0
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tavlo-unicode-XXXXXX")
export WINEPREFIX USER="Jürgen日本" LOGNAME="Jürgen日本"
trap 'WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
wine() { "$root/scripts/wine-run.sh" "$@"; }
wine cmd /c exit 0 >/dev/null 2>&1 || true
temp="$WINEPREFIX/drive_c/users/$USER/AppData/Local/Temp"
[ -d "$temp" ] || temp="$WINEPREFIX/drive_c/users/$USER/Temp"
[ -d "$temp" ] || fail "the prefix has no Temp folder for $USER: $(ls "$WINEPREFIX/drive_c/users")"

name="Spiele ü 日本"
folder="$WINEPREFIX/drive_c/$name"
mkdir -p "$folder"
cp "$archive" "$folder/tavlo.rka"
printf '\0\0\0\0' >"$folder/score.dat"
cp "$replay" "$folder/Runde ü 日本.replay"

# The golden replay, named relative to the folder it is started in.
(cd "$folder" && wine "$tavlo" --data-dir "C:\\$name" --replay "Runde ü 日本.replay" --verify) \
    >"$WINEPREFIX/report" 2>"$WINEPREFIX/errors" || fail "--verify: $(cat "$WINEPREFIX/errors")"
sed -i "s|^replay .*Runde ü 日本.replay:|replay $(basename "$replay"):|" "$WINEPREFIX/report"
diff "$report" "$WINEPREFIX/report" || fail "the report differs"
[ -z "$(find "$temp" -maxdepth 1 -name 'tavlo-replay-*')" ] || fail "scratch folders left in Temp"

# A run recorded there (a round started, then Pause), and the recording verified.
printf '6000 down RETURN\n6040 up RETURN\n9000 down PAUSE\n9040 up PAUSE\n' >"$folder/keys"
code=0
(cd "$folder" && TAVLO_VIDEO=headless TAVLO_INPUT=keys \
    wine "$tavlo" --data-dir "C:\\$name" --record "Neu ü 日本.replay") 2>"$WINEPREFIX/errors" ||
    code=$?
[ "$code" -eq 1 ] || fail "--record ended with $code: $(cat "$WINEPREFIX/errors")"
[ -s "$folder/Neu ü 日本.replay" ] || fail "nothing recorded"
(cd "$folder" && wine "$tavlo" --data-dir "C:\\$name" --replay "Neu ü 日本.replay" --verify) \
    >/dev/null 2>"$WINEPREFIX/errors" || fail "the recording does not verify: $(cat "$WINEPREFIX/errors")"
echo "unicode: replayed, recorded and verified as $USER in C:\\$name"
