// The port's own words in the player's language. Its texts are marked in the code (tr("...")
// and trn("...", "...", n)), gathered by GNU gettext's tools into po/tavlo.pot and translated in
// po/LL.po; msgfmt compiles each to LL/tavlo.mo. Every build reads those compiled catalogues
// with this one reader (Linux, Windows and the page alike: there is no libintl on the last two),
// and chooses the language as its system does (LanguagesFrom). The game's own texts are never
// looked up here: they are the design's and stay as they are.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

class Catalog {
  public:
    // Reads a compiled catalogue (the .mo format, either byte order). False, leaving the
    // catalogue empty, when the bytes are not one or do not hold together.
    bool Load(std::string_view bytes);
    bool Empty() const { return entries_.empty(); }

    // The translation of `text`; `text` itself when there is none.
    std::string Get(std::string_view text) const;
    // The translation of the singular or plural for `n`, by the catalogue's plural rule (the
    // English rule, n != 1, when the catalogue has none or no translation).
    std::string GetPlural(std::string_view singular, std::string_view plural,
                          std::uint64_t n) const;

    // The index of the plural form for `n` by the catalogue's rule; 0 where the rule cannot be
    // read (it is checked when the catalogue is loaded).
    unsigned long PluralIndex(std::uint64_t n) const;

  private:
    std::unordered_map<std::string, std::string> entries_;  // msgid (and plural) → msgstr(s)
    std::string pluralRule_ = "n != 1";
    unsigned long plurals_ = 2;
};

// Evaluates a catalogue's plural expression (C's operators on n: ?: || && == != < > <= >= + -
// * / % ! and parentheses) for `n`. False when the expression is not one.
bool EvaluatePlural(std::string_view expression, std::uint64_t n, std::uint64_t& value);

// The languages the player asks for, most wanted first, as gettext reads them on Linux:
// LANGUAGE (a colon-separated list) when a locale is set at all, else the first of LC_ALL,
// LC_MESSAGES and LANG that is set. Each "ll_CC.codeset@modifier" gives "ll_CC" then "ll";
// "C" and "POSIX" end the list (English, the texts as written). As glibc has it, LANGUAGE is
// ignored only when the locale is the plain "C" or "POSIX" ("C.UTF-8" reads it).
std::vector<std::string> LanguagesFromEnvironment(const char* language, const char* all,
                                                  const char* messages, const char* lang);
// The same from a list of tags (a browser's navigator.languages, Windows' preferred UI
// languages, a settings file's choice: "ja-JP", "zh-Hans-CN", "de", "zh_CN"), most wanted
// first. "C" and "POSIX" read as "en", the texts as written. Chinese is named by region or by
// script ("zh-CN", "zh-SG", "zh-Hans", Windows' older "zh-CHS"): after the region's own catalogue
// comes the one of its writing, zh_CN for simplified, zh_TW for traditional.
std::vector<std::string> LanguagesFromTags(const std::vector<std::string>& tags);
// The same from an HTTP Accept-Language header ("de-CH, fr;q=0.8, *;q=0.1"): by weight, the
// header's order among equals; a weight of 0 and "*" ask for nothing.
std::vector<std::string> LanguagesFromAcceptLanguage(std::string_view header);

// The one rule of choosing: the first of `languages` that `has` a catalogue; "" (English, the
// texts as written) when English comes first; nothing when none has one.
std::optional<std::string> FirstWithCatalog(const std::vector<std::string>& languages,
                                            const std::function<bool(const std::string&)>& has);

// Reads into `catalog` that of the first of `languages` that has one under one of `roots`
// (ROOT/LL/LC_MESSAGES/tavlo.mo); leaves it empty (English) when "en" comes first or none has
// one. Returns the language chosen, "" for English. The one choice the game, the page and the
// score server make.
std::string FindCatalog(const std::vector<std::string>& roots,
                        const std::vector<std::string>& languages, Catalog& catalog);

// Puts in use the catalogue of the first of `languages` that has one under one of `roots`
// (ROOT/LL/LC_MESSAGES/tavlo.mo); English (none) when "en" comes first or none has one.
// Returns the language chosen, "" for English.
std::string LoadCatalog(const std::vector<std::string>& roots,
                        const std::vector<std::string>& languages);

// Where the program's catalogues may be: beside it in locale/ (Windows), in ../locale (a build
// tree: build/src/tavlo, build/locale), in ../share/locale (installed: /usr/games/tavlo,
// /usr/share/locale).
std::vector<std::string> CatalogRoots();

// A sentence with its parts put in: {1}, {2}, ... stand for the parts, in whatever order the
// translation has them ("{1}: cannot write {2}"). A brace not followed by a part's number and a
// closing brace stays as it is.
std::string Fill(std::string_view text, std::initializer_list<std::string_view> parts);

// The text as a JSON string, quoted (the page's answers, Said::Json).
std::string JsonString(std::string_view text);

// A sentence of the port's kept with its parts unfilled, made where it is not known who reads
// it: a program that reads it gets the English, a player the translation, and the page one it
// can translate again when the player picks another language. Its text is marked for the
// catalogues by said().
struct Said {
    Said() = default;
    // A part as it is: a number, a file's name, a system's reason.
    Said(std::string text) : text(std::move(text)), verbatim(true) {}
    Said(const char* text) : Said(std::string(text)) {}

    std::string English() const;
    std::string Translated() const;  // in the catalogue in use
    std::string In(const Catalog& catalog) const;
    // {"text":"…","parts":[…]} (a verbatim part a JSON string), for the page to translate.
    std::string Json() const;

    std::string text;
    std::vector<Said> parts;
    bool verbatim = false;
};
// A marked sentence ("line {1}: {2}") with its parts.
Said said(std::string_view text, std::vector<Said> parts = {});

// The catalogue the port's texts are looked up in (none at first: English).
void UseCatalog(Catalog catalog);
const Catalog& CurrentCatalog();
// The language LoadCatalog put in use as an HTTP language tag ("de", "zh-CN"; "en" for
// English): what the program asks a server to answer in (Accept-Language).
std::string CurrentLanguageTag();

}  // namespace platform

// A text of the port's own, in the player's language.
inline std::string tr(std::string_view text) {
    return platform::CurrentCatalog().Get(text);
}
// The same for a sentence with a number in it.
inline std::string trn(std::string_view singular, std::string_view plural, std::uint64_t n) {
    return platform::CurrentCatalog().GetPlural(singular, plural, n);
}
