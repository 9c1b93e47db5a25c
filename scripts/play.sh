#!/usr/bin/env bash
# Builds the game and plays it in a real window. The game runs in its own folder:
# ${XDG_DATA_HOME:-~/.local/share}/tavlo, holding the archive and the best score.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh play
cmake --preset dev >/dev/null
cmake --build --preset dev --target tavlo tavlo_archive tavlo_catalogues

data="${XDG_DATA_HOME:-$HOME/.local/share}/tavlo"
mkdir -p "$data"
# --remove-destination: the installed game leaves a link to the installed archive here.
[ -f build/tavlo.rka ] && cp --remove-destination build/tavlo.rka "$data/tavlo.rka"
# A best score of zero, only where there is none yet.
[ -e "$data/score.dat" ] || printf '\0\0\0\0' > "$data/score.dat"
cd "$data"
exec "$OLDPWD/build/src/tavlo" "$@"
