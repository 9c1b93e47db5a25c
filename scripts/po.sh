#!/usr/bin/env bash
# The port's texts and their translations, with GNU gettext's tools.
#   scripts/po.sh update   gathers the marked texts into po/tavlo.pot (xgettext: tr() and trn()
#                          in our C++ and the page's scripts; the desktop entry and the metainfo
#                          through their templates) and merges it into each po/LL.po (msgmerge)
#   scripts/po.sh check    fails when po/tavlo.pot is not what update would make of the code, or a
#                          catalogue is invalid, untranslated in part or fuzzy (msgfmt --check
#                          --statistics), or scripts/po-check.py finds a TRANSLATORS comment
#                          that missed the template, a help line over 79 columns, French
#                          punctuation without its no-break space or a term its glossary
#                          (po/glossary/LL.tsv) rules out; what CI runs
# The build compiles each po/LL.po into locale/LL/LC_MESSAGES/tavlo.mo (po/CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh packages gettext appstream python3-polib >/dev/null

command="${1:-check}"
case "$command" in update | check) ;; *)
    echo "usage: $0 update | check" >&2
    exit 2
    ;;
esac

# Writes the template to $1: the marked texts of the files git knows, in a stable order, each
# with the files it comes from (no line numbers, which every edit would move).
make_template() {
    local out="$1" sources pages
    sources=$(git ls-files 'src/platform/*.cpp' 'src/platform/*.h' 'tools/*.cpp' 'server/*.cpp' | sort)
    pages=$(git ls-files 'src/platform/hosts/browser/*.js' | sort)
    local common=(--from-code=UTF-8 --package-name=Tavlo --msgid-bugs-address=maintainers@tavlo.org
                  --add-comments=TRANSLATORS: --sort-by-file --no-wrap --force-po
                  --add-location=file)
    # shellcheck disable=SC2086  # one file name a line, none with spaces
    xgettext "${common[@]}" --language=C++ --keyword=tr --keyword=trn:1,2 --keyword=said \
        -o "$out" $sources
    # The texts are UTF-8, whatever xgettext guessed from the first files.
    sed -i 's/charset=CHARSET/charset=UTF-8/' "$out"
    # shellcheck disable=SC2086
    xgettext "${common[@]}" --join-existing --language=JavaScript --keyword=tr --keyword=trn:1,2 \
        -o "$out" $pages
    xgettext "${common[@]}" --join-existing -o "$out" packaging/org.tavlo.Tavlo.desktop.in \
        packaging/org.tavlo.Tavlo.metainfo.xml.in
}

# The template without its creation date, which changes at every run.
dateless() { grep -v '^"POT-Creation-Date:' "$1"; }

mapfile -t languages < <(grep -v '^#' po/LINGUAS | grep .)
case "$command" in
    update)
        make_template po/tavlo.pot
        for language in "${languages[@]}"; do
            if [ -f "po/$language.po" ]; then
                msgmerge --quiet --update --backup=none --no-wrap --add-location=file \
                    "po/$language.po" po/tavlo.pot
            else
                msginit --no-translator --no-wrap --locale="$language.UTF-8" -i po/tavlo.pot \
                    -o "po/$language.po"
            fi
        done
        ;;
    check)
        fresh=$(mktemp)
        trap 'rm -f "$fresh"' EXIT
        make_template "$fresh"
        if ! diff <(dateless po/tavlo.pot) <(dateless "$fresh") >&2; then
            echo "po/tavlo.pot is not what the code marks: run scripts/po.sh update" >&2
            exit 1
        fi
        status=0
        for language in "${languages[@]}"; do
            stats=$(msgfmt --check --statistics -o /dev/null "po/$language.po" 2>&1) || status=1
            echo "$language: $stats"
            case "$stats" in *untranslated* | *fuzzy*) status=1 ;; esac
        done
        # The same files the template is made from (make_template).
        # shellcheck disable=SC2046  # one file name a line, none with spaces
        /usr/bin/python3 scripts/po-check.py "${languages[*]}" \
            $(git ls-files 'src/platform/*.cpp' 'src/platform/*.h' 'tools/*.cpp' 'server/*.cpp' \
                'src/platform/hosts/browser/*.js') || status=1
        exit "$status"
        ;;
esac
