// The page's texts through the port's one catalogue reader (base/catalog.h), so that the page
// and the game speak the same language from the same catalogues. The build preloads them into
// the module's file system (/locale/LL/LC_MESSAGES/tavlo.mo); the page (i18n.js, through
// core.js) hands over the languages the player asks for and each text it shows, as strings:
//
//   tavlo_texts_language(tags)            tags: the player's language tags, one a line ("ja-JP",
//                                         "de"); puts that catalogue in use, for the game too
//                                         (while it runs); answers the language chosen ("ja",
//                                         "zh_CN"; "" for English)
//   tavlo_texts_translate(one, many, n)   the translation of one, or with many (not null) the
//                                         one for the number n
// An answer lasts until the next call.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "catalog.h"

namespace {

// The page's own copy of the catalogue, never destroyed: the page shows its texts after the
// game has ended too, when the runtime's exit has destroyed the game's (LoadCatalog's).
platform::Catalog& PageCatalog() {
    static auto* catalog = new platform::Catalog();
    return *catalog;
}
// Set once the game's runtime has exited: its catalogue is gone, the page's alone is changed.
bool exited = false;

// The last answer, never destroyed either.
const char* Answer(std::string text) {
    static auto* answer = new std::string();
    *answer = std::move(text);
    return answer->c_str();
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* tavlo_texts_language(const char* given) {
    static const bool watching = std::atexit([] { exited = true; }) == 0;
    const std::string in(given ? given : "");
    std::vector<std::string> tags;
    for (std::size_t at = 0; at < in.size();) {
        const std::size_t end = std::min(in.find('\n', at), in.size());
        if (end > at) tags.push_back(in.substr(at, end - at));
        at = end + 1;
    }
    // As the game chooses (FindCatalog), into the page's copy, then the game's while it runs.
    platform::Catalog catalog;
    const std::string chosen =
        platform::FindCatalog({"/locale"}, platform::LanguagesFromTags(tags), catalog);
    PageCatalog() = catalog;
    if (watching && !exited) platform::UseCatalog(std::move(catalog));
    return Answer(chosen);
}

EMSCRIPTEN_KEEPALIVE const char* tavlo_texts_translate(const char* one, const char* many,
                                                       double n) {
    if (!one) return Answer("");
    if (!many) return Answer(PageCatalog().Get(one));
    const double count = std::isfinite(n) ? std::clamp(std::floor(std::fabs(n)), 0.0, 1e15) : 0.0;
    return Answer(PageCatalog().GetPlural(one, many, static_cast<std::uint64_t>(count)));
}

}  // extern "C"
