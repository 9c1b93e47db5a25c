#!/bin/sh
# The packaged systemd unit: `systemd-analyze verify` finds nothing wrong with it (its program
# the build's), and its sandbox keeps the exposure `systemd-analyze security` rates at 2.0 or
# less. Usage: unit.sh UNIT PROGRAM
set -eu
if ! command -v systemd-analyze >/dev/null 2>&1; then
    echo "systemd-analyze is missing (scripts/deps.sh server installs systemd): skipped"
    exit 77
fi
unit=$1
program=$2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
sed "s|/usr/local/lib/tavlo-scores/tavlo-scores|$program|" "$unit" >"$folder/tavlo-scores.service"
# verify's word is on standard error: any line there is a fault of the unit.
if ! systemd-analyze verify "$folder/tavlo-scores.service" 2>"$folder/verify.txt" ||
    [ -s "$folder/verify.txt" ]; then
    cat "$folder/verify.txt"
    exit 1
fi
systemd-analyze security --offline=yes --threshold=20 "$folder/tavlo-scores.service" |
    tail -n 1
