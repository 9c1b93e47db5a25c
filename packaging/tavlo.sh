#!/bin/sh
# Starts the installed game (games/tavlo, beside libexec/ and share/) in its per-user folder,
# ${XDG_DATA_HOME:-~/.local/share}/tavlo, where it reads "tavlo.rka" and keeps "score.dat". The
# folder is made when missing, the archive is linked from the installation, and a best score of
# zero is written only where there is none.
set -eu

here=$(dirname "$(readlink -f "$0")")
prefix=$(dirname "$here")
program="$prefix/libexec/tavlo/tavlo"
archive="$prefix/share/games/tavlo/tavlo.rka"

# Asked for anything but a game in the usual folder (--help, --version, --data-dir DIR, a
# wrong option), the program runs as it is, here: no folder is made for it. Recording and
# playing back are games in the usual folder too; their files stay the caller's.
value=false
for argument in "$@"; do
    if $value; then
        value=false
        continue
    fi
    case "$argument" in
        --w* | --f* | --sh* | --sm* | --veri* | --rec*=* | --rep*=*) ;;
        --rec* | --rep*) value=true ;;
        *) exec "$program" "$@" ;;
    esac
done

# Relative XDG paths are to be ignored.
case "${XDG_DATA_HOME:-}" in
    /*) data="$XDG_DATA_HOME/tavlo" ;;
    *)
        if [ -z "${HOME:-}" ]; then
            echo "tavlo: neither XDG_DATA_HOME nor HOME is set" >&2
            exit 1
        fi
        data="$HOME/.local/share/tavlo"
        ;;
esac

mkdir -p "$data"
if [ "$(readlink "$data/tavlo.rka" 2>/dev/null || true)" != "$archive" ]; then
    ln -sfn "$archive" "$data/tavlo.rka"
fi
# noclobber: an existing score, even one appearing meanwhile, is never written over.
if [ ! -e "$data/score.dat" ]; then
    (set -C; head -c 4 /dev/zero > "$data/score.dat") 2>/dev/null || true
fi

# The program moves there itself, after it has taken the files it is given as the caller's.
exec "$program" --data-dir "$data" "$@"
