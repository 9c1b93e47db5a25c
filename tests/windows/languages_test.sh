#!/usr/bin/env bash
# The Windows game speaks the player's UI language: Wine takes it from the Unix locale (LANG), and
# the game from GetUserPreferredUILanguages, with the catalogues beside tavlo.exe as the package
# has them. Started without its archive under the headless host, the game ends with the design's
# message and the port's note below it, in that language; a language without a catalogue gives
# English; a data folder that cannot be locked says why in Japanese. Wine reads a locale only if
# the C library has it: the ones asked for are compiled here (localedef, into LOCPATH), so
# nothing on the machine needs to be set up.
#   languages_test.sh STAGE
set -euo pipefail
stage=$1
root="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tavlo-languages-XXXXXX")
export WINEPREFIX="$work/prefix" TAVLO_WINE_LINGER=0 LOCPATH="$work/locales"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# The locale, and what the note starts with in its language.
cases=(
    "ja_JP.UTF-8|tavlo: C:\\Empty の tavlo.rka を開けません: "
    "zh_CN.UTF-8|tavlo: 无法打开 C:\\Empty 中的 tavlo.rka："
    "xx_YY.UTF-8|tavlo: cannot open tavlo.rka in C:\\Empty: "
)
mkdir -p "$LOCPATH"
for c in "${cases[@]}"; do
    locale=${c%%|*}
    language=${locale%%.*}
    [ -d "/usr/share/i18n/locales" ] || fail "no locale sources (Debian's locales package)"
    if [ -f "/usr/share/i18n/locales/$language" ]; then
        localedef -i "$language" -f UTF-8 "$LOCPATH/$locale" || fail "localedef $locale"
    fi
done

"$root/scripts/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
game="$WINEPREFIX/drive_c/Tavlo"
mkdir -p "$game" "$WINEPREFIX/drive_c/Empty"
cp -a "$stage/tavlo.exe" "$stage/SDL2.dll" "$stage/locale" "$game/"

for c in "${cases[@]}"; do
    locale=${c%%|*} note=${c#*|}
    code=0
    env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG="$locale" TAVLO_VIDEO=headless \
        "$root/scripts/wine-run.sh" "$game/tavlo.exe" --data-dir 'C:\Empty' \
        >/dev/null 2>"$work/errors" || code=$?
    [ "$code" -eq 1 ] || fail "$locale: ended with $code: $(cat "$work/errors")"
    grep -qF 'File can'"'"'t open[tavlo.rka]' "$work/errors" ||
        fail "$locale: not the game's own message: $(cat "$work/errors")"
    grep -qF "$note" "$work/errors" || fail "$locale: no \"$note\" in: $(cat "$work/errors")"
done
# A reason of the port's own inside the sentence is in the language too: a data folder whose
# tavlo.lock is a folder cannot be locked.
mkdir -p "$WINEPREFIX/drive_c/Locked/tavlo.lock"
code=0
env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=ja_JP.UTF-8 TAVLO_VIDEO=headless \
    "$root/scripts/wine-run.sh" "$game/tavlo.exe" --data-dir 'C:\Locked' \
    >/dev/null 2>"$work/errors" || code=$?
[ "$code" -eq 1 ] || fail "locked: ended with $code: $(cat "$work/errors")"
grep -qF "をロックできない (そこで tavlo.lock を開けません: " "$work/errors" ||
    fail "locked: the reason is not in Japanese: $(cat "$work/errors")"
echo "languages: the notes in Japanese, Simplified Chinese and English, as Wine's locale asks; a lock's reason in Japanese"
