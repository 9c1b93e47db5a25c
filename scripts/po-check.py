#!/usr/bin/python3
"""What scripts/po.sh check sees in the catalogues beyond msgfmt's checks: a TRANSLATORS comment
in the code that did not reach po/tavlo.pot, a help line wider than 79 columns, French
punctuation without its no-break space, and a term a language's glossary (po/glossary/LL.tsv)
rules out. Prints each fault and exits 1 when there is one."""
import re
import subprocess
import sys
import unicodedata

import polib

NBSP, NNBSP = "\u00a0", "\u202f"
faults = []


def columns(line):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in line)


def translations(entry):
    return list(entry.msgstr_plural.values()) if entry.msgid_plural else [entry.msgstr]


def short(text):
    return text if len(text) <= 60 else text[:57] + "..."


# xgettext attaches a comment only to the keyword on the line right after it; a comment that
# is anywhere else never reaches the translator.
def check_comments(sources):
    reached = " ".join(" ".join(e.comment.split()) for e in polib.pofile("po/tavlo.pot"))
    for path in sources:
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                found = re.search(r"//\s*(TRANSLATORS:.*)", line)
                if found and " ".join(found.group(1).split()) not in reached:
                    faults.append(f"{path}:{number}: this TRANSLATORS comment does not reach "
                                  "po/tavlo.pot: put it on the line right before the tr()")


def check_help(language, po):
    for entry in po:
        if "\n" not in entry.msgid or entry.obsolete:
            continue
        for text in translations(entry):
            for line in text.split("\n"):
                if columns(line) > 79:
                    faults.append(f"po/{language}.po: a line of {columns(line)} columns (at "
                                  f"most 79): {short(line)}")


# French sets U+00A0 before ':' and inside « », U+202F (narrow) before ; ? !
FRENCH = [
    (re.compile(r"[ \u202f]:"), "a colon needs U+00A0 before it"),
    (re.compile(r"[ \u00a0][;?!]"), "; ? ! need U+202F before them"),
    (re.compile(r"«[ \u202f]|[ \u202f]»"), "« » need U+00A0 inside them"),
    (re.compile(r"«[^\u00a0]|[^\u00a0]»"), "« » need U+00A0 inside them"),
    (re.compile(r"[\w}»)][;?!](\s|$)"), "; ? ! need U+202F before them"),
    (re.compile(r"[\w}»)]:(\s|$)"), "a colon needs U+00A0 before it"),
]


def check_french(po):
    for entry in po:
        for text in translations(entry):
            if " " not in text:
                continue  # a list of keywords, "a;b;c;", is no sentence
            for pattern, fault in FRENCH:
                if pattern.search(text):
                    faults.append(f"po/fr.po: {fault}: {short(text)!r}")


def check_glossary(language, po):
    try:
        lines = open(f"po/glossary/{language}.tsv", encoding="utf-8").read().splitlines()
    except FileNotFoundError:
        faults.append(f"po/glossary/{language}.tsv: no glossary for {language}")
        return
    for number, line in enumerate(lines, 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 3:
            faults.append(f"po/glossary/{language}.tsv:{number}: not three tab-separated fields")
            continue
        term, use, avoid = fields
        if not avoid:
            continue
        pattern = re.compile(avoid)
        for entry in po:
            for text in translations(entry):
                if pattern.search(text):
                    faults.append(f"po/{language}.po: {term!r} is {use!r} here "
                                  f"(po/glossary/{language}.tsv:{number}): {short(text)!r}")


def main():
    languages, sources = sys.argv[1].split(), sys.argv[2:]
    check_comments(sources)
    for language in languages:
        po = polib.pofile(f"po/{language}.po")
        check_help(language, po)
        check_glossary(language, po)
        if language == "fr":
            check_french(po)
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
