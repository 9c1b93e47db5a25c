#!/usr/bin/env bash
# The installer and the portable zip under Wine, in a prefix of its own. The portable game, started
# from another folder, plays beside itself (a USB-like folder). A silent install (/S) puts the
# program and the shortcut in place; the installed game, started without arguments from another
# folder, makes its own folder and verifies a golden replay; the uninstaller removes what was
# installed and keeps the best score, unless /REMOVEDATA.
#   installer_test.sh SETUP.exe PORTABLE.zip REPLAY REPORT
set -euo pipefail
setup=$1 zip=$2 replay=$3 report=$4
root="$(cd "$(dirname "$0")/../.." && pwd)"
# A copy of the tests' prefix (made once), so that the install touches nothing of it.
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tavlo-installer-XXXXXX")
export WINEPREFIX TAVLO_WINE_LINGER=0
shared="$root/build-windows/wine"
[ -f "$shared/system.reg" ] && cp -a "$shared/." "$WINEPREFIX/"
trap 'WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
wine() { "$root/scripts/wine-run.sh" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

# Wine's per-user folders for this prefix.
wine cmd /c exit 0 >/dev/null 2>&1 || true
local_app=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -path '*/AppData/Local' | head -n 1)
roaming=$(dirname "$local_app")/Roaming
[ -d "$local_app" ] || fail "no AppData\\Local in the prefix"
# What other tests left of the game in the copied prefix goes: the install starts afresh.
rm -rf "$local_app/Tavlo" "$local_app/Programs/Tavlo" "$roaming/Tavlo"
programs="$local_app/Programs/Tavlo"
data="$local_app/Tavlo"
menu="$roaming/Microsoft/Windows/Start Menu/Programs/Tavlo.lnk"
# The port's texts in each language of po/LINGUAS, beside the program.
catalogues=()
while read -r language; do
    catalogues+=("locale/$language/LC_MESSAGES/tavlo.mo")
done < <(grep -v '^#' "$root/po/LINGUAS" | tr -s ' \t' '\n' | grep .)
[ ${#catalogues[@]} -gt 0 ] || fail "po/LINGUAS names no language"

install() {
    wine "$setup" /S
    /usr/lib/wine/wineserver -w
}
uninstall() {
    wine "$programs/uninstall.exe" /S "$@"
    # The uninstaller runs on from a copy of itself: wait for it.
    /usr/lib/wine/wineserver -w
}

# The portable game on a stick: started from elsewhere, it plays in its own folder (a best score
# of zero made there) and makes nothing in the player's folders.
stick="$WINEPREFIX/drive_c/Stick ü"
mkdir -p "$stick"
(cd "$stick" && unzip -q "$zip")
portable=$(find "$stick" -maxdepth 2 -name tavlo.exe -printf '%h\n' | head -n 1)
[ -f "$portable/portable.txt" ] || fail "the zip has no portable.txt"
for f in "${catalogues[@]}"; do [ -s "$portable/$f" ] || fail "not in the zip: $f"; done
rm "$portable/score.dat"
# A verify writes nothing but its own temporary folder; a short headless run plays beside itself.
(cd "$WINEPREFIX" && wine "$portable/tavlo.exe" --replay "$replay" --verify) >"$WINEPREFIX/report" ||
    fail "the portable game's --verify failed"
sed -i "s|$(dirname "$replay")/||" "$WINEPREFIX/report"
diff "$report" "$WINEPREFIX/report" || fail "the portable game's report differs"
[ ! -e "$portable/score.dat" ] || fail "the portable game's --verify wrote a best score"
(cd "$WINEPREFIX" && TAVLO_VIDEO=headless TAVLO_TIME_LIMIT=100 wine "$portable/tavlo.exe") \
    >/dev/null 2>&1 || true
[ "$(od -An -tx1 "$portable/score.dat" | tr -d ' ')" = 00000000 ] ||
    fail "the portable game made no best score beside itself"
[ ! -e "$data" ] || fail "the portable game made $data"

install
for f in tavlo.exe SDL2.dll tavlo.rka uninstall.exe fonts/ipag.ttf "${catalogues[@]}"; do
    [ -f "$programs/$f" ] || fail "not installed: $f"
done
[ -f "$menu" ] || fail "no Start menu shortcut"

# The installed game, started from another folder without --data-dir (as a double-click, a pinned
# taskbar button or a launcher starts it), plays a golden replay to the report recorded on Linux
# with the installed archive, making no folder of the player's and removing its scratch folder
# after; started to play, it makes its folder (the archive, a zero best score).
temp=$(find "$WINEPREFIX/drive_c/users" -maxdepth 2 -name Temp | head -n 1)
scratch() { find "$temp" -maxdepth 1 -name 'tavlo-replay-*' | wc -l; }
scratch_before=$(scratch)
(cd "$WINEPREFIX" && wine "$programs/tavlo.exe" --replay "$replay" --verify) >"$WINEPREFIX/report" ||
    fail "the installed game's --verify failed"
[ ! -e "$data" ] || fail "the installed game's --verify made $data"
(cd "$WINEPREFIX" && TAVLO_VIDEO=headless TAVLO_TIME_LIMIT=100 wine "$programs/tavlo.exe") \
    >/dev/null 2>&1 || true
[ -f "$data/tavlo.rka" ] || fail "no archive in the game's folder"
[ "$(od -An -tx1 "$data/score.dat" | tr -d ' ')" = 00000000 ] || fail "no zero best score"
if [ -e "$programs/tavlo.lock" ] || [ -e "$data/tavlo.lock" ]; then fail "a lock file stayed"; fi
[ "$(scratch)" -eq "$scratch_before" ] || fail "the replay's scratch folder was left in $temp"
sed -i "s|$(dirname "$replay")/||" "$WINEPREFIX/report"
diff "$report" "$WINEPREFIX/report" || fail "the installed game's report differs"

# The uninstall entry and the Start menu shortcut: the game without arguments.
entry=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavlo' 2>/dev/null |
    tr -d '\r')
for value in DisplayName DisplayVersion UninstallString QuietUninstallString HelpLink URLInfoAbout; do
    grep -q "^ *$value " <<<"$entry" || fail "the uninstall entry has no $value: $entry"
done
shortcut=$(python3 "$root/tests/windows/shortcut.py" "$menu") || fail "the shortcut cannot be read"
grep -q '^target: .*\\Programs\\Tavlo\\tavlo.exe$' <<<"$shortcut" || fail "shortcut: $shortcut"
grep -qx 'arguments: ' <<<"$shortcut" || fail "the shortcut has arguments: $shortcut"

# While the game runs, the uninstaller refuses and leaves everything.
TAVLO_VIDEO=headless TAVLO_TIME_LIMIT=1844674407370955161 wine "$programs/tavlo.exe" &
game=$!
sleep 3
wine "$programs/uninstall.exe" /S || true
sleep 3
wine taskkill /F /IM tavlo.exe >/dev/null 2>&1 || true
wait "$game" 2>/dev/null || true
/usr/lib/wine/wineserver -w
[ -f "$programs/tavlo.exe" ] || fail "the uninstaller removed the game while it ran"

# A best score of 42: the uninstaller keeps it, and removes everything it installed.
printf '\x2a\0\0\0' >"$data/score.dat"
uninstall
[ ! -e "$programs" ] || fail "left behind: $(ls "$programs")"
[ ! -e "$menu" ] || fail "the Start menu shortcut is still there"
[ ! -e "$data/tavlo.rka" ] || fail "the game's folder still holds the archive"
[ "$(od -An -tx1 "$data/score.dat" | tr -d ' ')" = 2a000000 ] || fail "the best score is gone"

# Installed again, the score stays; removed with /REMOVEDATA, nothing is left (the settings and
# the temporary names of saves cut short neither).
install
[ "$(od -An -tx1 "$data/score.dat" | tr -d ' ')" = 2a000000 ] || fail "reinstalling reset the score"
mkdir -p "$roaming/Tavlo"
touch "$roaming/Tavlo/settings.conf" "$roaming/Tavlo/.settings.conf.a1b2c3" "$data/.score.dat.x1y2z3" \
    "$data/score.dat.tmp" "$data/tmp.bmp" "$programs/tavlo.lock"
uninstall /REMOVEDATA
[ ! -e "$data" ] || fail "/REMOVEDATA left $(ls -A "$data")"
[ ! -e "$roaming/Tavlo" ] || fail "/REMOVEDATA left $(ls -A "$roaming/Tavlo")"
[ ! -e "$programs" ] || fail "left behind: $(ls -A "$programs")"
wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavlo' >/dev/null 2>&1 &&
    fail "the uninstall entry is still there"
echo "installer: installed, verified a replay, uninstalled (score kept, then removed on request)"
