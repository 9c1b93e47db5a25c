// The server's words in the language of each request, from the game's own catalogues (po/),
// chosen by the rule the game and its page use (base/catalog.h): the table's page, and each
// refusal's sentence beside its code, which stays the same in every language for programs.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "catalog.h"

namespace scores {

class Words {
  public:
    // Every catalogue under `roots` (ROOT/LL/LC_MESSAGES/tavlo.mo), read once.
    explicit Words(const std::vector<std::string>& roots);

    // The language of a request: `asked` (?lang=) when there is a catalogue of it (or it is
    // English), else the first of Accept-Language's by weight that has one, else English ("").
    std::string Choose(std::string_view asked, std::string_view acceptLanguage) const;
    // The catalogue of a language Choose gave (an empty one, English, for "").
    const platform::Catalog& For(const std::string& language) const;

  private:
    std::map<std::string, platform::Catalog> catalogs_;
};

// The server's: the catalogues installed beside the program (../share/locale) or the build's.
const Words& ServerWords();

// A language as the page's HTML and links name it (en, ja, de, fr, es, zh-Hans).
std::string PageTag(const std::string& language);

}  // namespace scores
