#!/usr/bin/env bash
# scripts/po-check.py finds each fault it is there for, each in a copy of po/ with that one fault
# put in: French punctuation with an ordinary space, a help line over 79 columns, a term the
# glossary rules out, a TRANSLATORS comment away from its call; and the catalogues as they are
# pass.
#   po_check_test.sh SOURCE_DIR
set -euo pipefail
root=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/tavlo-po-check-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
check() { (cd "$1" && /usr/bin/python3 "$root/scripts/po-check.py" "ja de fr es zh_CN" "${@:2}"); }

fresh() {
    rm -rf "$work/tree" && mkdir -p "$work/tree" && cp -r "$root/po" "$work/tree/"
}
fresh
check "$work/tree" || fail "the catalogues as they are do not pass"

# Each fault: the file, a text in it and what it becomes, and what the check must say.
nbsp=$'\u00a0'
faults=(
    "po/fr.po|\"option inconnue${nbsp}: {1}\"|\"option inconnue : {1}\"|a colon needs U+00A0"
    "po/fr.po|msgstr \"Plein écran\"|msgstr \"Écran complet\"|'full screen' is 'plein écran'"
    "po/de.po|Strg überspringt|Ctrl überspringt|'Ctrl (key)' is 'Strg'"
    "po/es.po|mostrar esta ayuda y salir\\n|mostrar esta ayuda y salir del programa ahora, sin hacer nada más\\n|columns (at most 79)"
)
for f in "${faults[@]}"; do
    IFS='|' read -r file from to says <<<"$f"
    fresh
    /usr/bin/python3 - "$work/tree/$file" "$from" "$to" <<'PY'
import sys
path, old, new = sys.argv[1:]
text = open(path, encoding="utf-8").read()
if old not in text:
    sys.exit(f"{old!r} is not in {path}")
open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
PY
    out=$(check "$work/tree" 2>&1) && fail "$file: no fault found after $to"
    grep -qF -- "$says" <<<"$out" || fail "$file: not \"$says\" but: $out"
done

fresh
printf '// TRANSLATORS: a note that reaches no call\n\nint x = 0;\n' >"$work/stray.cpp"
out=$(check "$work/tree" "$work/stray.cpp" 2>&1) && fail "a stray TRANSLATORS comment passed"
grep -qF "does not reach po/tavlo.pot" <<<"$out" || fail "not the comment's fault: $out"
echo "po-check: each fault found, the catalogues pass"
