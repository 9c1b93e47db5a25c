#!/usr/bin/env bash
# Our Windows-shaped API and the real Windows in one link (tavlo.exe), read from the link's map
# and its cross references (ld --cref):
#  - every function of our API is linked by its C++ name: a C name of ours would take the place
#    of the system's function of that name for every caller, SDL and the platform included;
#  - a real Windows function that has the name of one of ours is called only from the
#    platform's *_win32.cpp files and from libraries not ours (the C runtime, SDL's import
#    library, FreeType, libpng): the game and our API never reach the real one.
#   linkage_test.sh tavlo.map
set -euo pipefail
map=$1
[ -f "$map" ] || { echo "FAIL: no link map $map" >&2; exit 1; }

# ld writes "SYMBOL  FILE" for the file that defines a symbol (demangled: C++ names carry their
# parameters), then indented lines for the files that refer to it. Paths have no spaces.
awk '
    /^Cross Reference Table/ { table = 1; next }
    !table || /^Symbol / || NF == 0 { next }
    {
        file = $NF
        if (substr($0, 1, 1) != " ") {
            symbol = substr($0, 1, length($0) - length(file)); sub(/ +$/, "", symbol)
            first = 1
        }
        row[++rows] = symbol; where[rows] = file; defines[rows] = first; first = 0
    }
    END {
        # Our API: functions of the global namespace defined in libtavlo_winapi.a.
        for (i = 1; i <= rows; ++i) {
            if (!defines[i] || where[i] !~ /libtavlo_winapi\.a\(/) continue
            name = row[i]
            if (name ~ /\(/) {
                base = name; sub(/\(.*/, "", base)
                if (base !~ /::/ && base ~ /^[A-Za-z_][A-Za-z0-9_]*$/) ours[base] = 1
            } else if (name ~ /^[A-Za-z][A-Za-z0-9_]*$/) {
                printf "FAIL: our API defines %s with a C name (in %s)\n", name, where[i]
                bad = 1
            }
        }
        for (n in ours) count++
        if (count < 20) { printf "FAIL: only %d API functions found in the map\n", count; exit 1 }
        # The real functions of those names, and who calls them.
        for (i = 1; i <= rows; ++i) {
            name = row[i]; sub(/^__imp_/, "", name)
            if (!(name in ours) || row[i] ~ /\(/) continue
            if (defines[i]) { if (where[i] ~ /libtavlo_/) bad = 1; continue }
            if (where[i] ~ /_win32\.cpp\.obj\)$/ || where[i] !~ /libtavlo_|CMakeFiles/) continue
            printf "FAIL: %s calls the real %s, not ours\n", where[i], name
            bad = 1
        }
        if (!bad) printf "%d functions of our API; none clashes with the real Windows\n", count
        exit bad
    }
' "$map"
