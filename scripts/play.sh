#!/usr/bin/env bash
# Builds the game and plays it in a real window. The build installs the program into build/stage
# (the target tavlo_stage), and the game is played from there as an installed game is: it makes
# its own folder, ${XDG_DATA_HOME:-~/.local/share}/tavlo, with a link to the staged archive and a
# best score of zero where there is none (an installed game, played later, links its own archive
# again; the score stays).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh play
cmake --preset dev >/dev/null
cmake --build --preset dev --target tavlo_stage
exec build/stage/games/tavlo "$@"
