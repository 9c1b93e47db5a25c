#!/usr/bin/env bash
# tavlo.exe in a real window under Wine, on an X server of its own (Xvfb): the window appears and
# shows the title screen (a screenshot, its colours counted), takes Enter (held 100 ms) and ends
# with Pause, and the best score in %LOCALAPPDATA%\Tavlo is kept. A wrong command line whose
# output a launcher keeps (a file here) still shows its message box.
#   window_test.sh TAVLO.EXE ARCHIVE [SCREENSHOT.png]
set -euo pipefail
tavlo=$1 archive=$2 shot=${3:-}
root="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }

xvfb="" data=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    [ -n "$data" ] && rm -rf "$data"
    true
}
trap cleanup EXIT
exec 5< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & echo "$!")
read -r xvfb <&5
read -r display <&5 || fail "Xvfb did not start"
export DISPLAY=":$display"

# The game's folder where the installer puts it, in the tests' prefix: a best score of 5.
"$root/scripts/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
local_app=$(find "${WINEPREFIX:-$root/build-windows/wine}/drive_c/users" -maxdepth 3 \
    -path '*/AppData/Local' | head -n 1)
data="$local_app/Tavlo"
rm -rf "$data"
mkdir -p "$data"
cp "$archive" "$data/tavlo.rka"
printf '\x05\0\0\0' >"$data/score.dat"

TAVLO_VIDEO=sdl "$root/scripts/wine-run.sh" "$tavlo" --window --data-dir "Z:${data//\//\\}" &
game=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Tavlo' | head -n 1) ||
    fail "no window named Tavlo appeared"
# The logo, then the title: wait for the title (its menu) before the keys. The screenshot must
# come after the game has drawn: Wine paints nothing into a window the program has not drawn,
# there is no window manager to frame it, and Xvfb's root is black, so a mapped window that has
# not drawn yet is one black screen.
sleep 9
if [ -n "$shot" ]; then
    import -window root "$shot"
    colours=$(convert "$shot" -format %k info:)
    [ "$colours" -gt 16 ] || fail "the screenshot has $colours colours: nothing drawn"
fi
key() {
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool keydown "$1"
    sleep 0.1
    xdotool keyup "$1"
}
key Return
sleep 3
key Pause
code=0
timeout 30 tail --pid="$game" -f /dev/null || fail "the game did not end on Pause"
wait "$game" || code=$?
# The game ends a round on Pause with its own code, 1.
[ "$code" -eq 1 ] || fail "exit code $code"
[ "$(od -An -tx1 "$data/score.dat" | tr -d ' ')" = 05000000 ] || fail "the best score changed"

# A wrong option, the output kept in a file: the message box says it all the same.
code=0
"$root/scripts/wine-run.sh" "$tavlo" --no-such-option >"$data/said" 2>&1 &
refused=$!
box=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tavlo$' | head -n 1) ||
    fail "no message box for a wrong option with its output kept"
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
timeout 30 tail --pid="$refused" -f /dev/null || fail "the message box did not end the program"
wait "$refused" || code=$?
[ "$code" -eq 2 ] || fail "a wrong option ended with $code"
grep -q 'unknown option: --no-such-option' "$data/said" || fail "said: $(cat "$data/said")"
echo "window: shown, keys taken, ended on Pause, best score kept; a refused start's box shown"
