// The page's texts through the port's one catalogue reader (base/catalog.h), so that the page
// and the game speak the same language from the same catalogues. The build preloads them into
// the module's file system (/locale/LL/LC_MESSAGES/tavlo.mo); the page (i18n.js, through
// core.js) hands over the languages the player asks for and each text it shows through a buffer
// of this file's:
//
//   tavlo_texts_language()         in: the player's language tags, one a line ("ja-JP", "de");
//                                  puts that catalogue in use, for the game too (while it runs);
//                                  out: the language chosen ("ja", "zh_CN"; "" for English)
//   tavlo_texts_translate(p, n)    in: the text; with p, its plural after a NUL;
//                                  out: the translation (for the number n when p)
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "catalog.h"

namespace {

// The page's longest text is a few hundred bytes; longer than this it is cut.
char buffer[16384];

// The page's own copy of the catalogue, never destroyed: the page shows its texts after the
// game has ended too, when the runtime's exit has destroyed the game's (LoadCatalog's).
platform::Catalog& PageCatalog() {
    static auto* catalog = new platform::Catalog();
    return *catalog;
}
// Set once the game's runtime has exited: its catalogue is gone, the page's alone is changed.
bool exited = false;

void Answer(const std::string& text) {
    const std::size_t size = std::min(text.size(), sizeof buffer - 1);
    std::copy_n(text.data(), size, buffer);
    buffer[size] = '\0';
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE char* tavlo_texts_buffer() {
    return buffer;
}
EMSCRIPTEN_KEEPALIVE int tavlo_texts_buffer_size() {
    return static_cast<int>(sizeof buffer);
}

EMSCRIPTEN_KEEPALIVE void tavlo_texts_language() {
    static const bool watching = std::atexit([] { exited = true; }) == 0;
    const std::string in(buffer, strnlen(buffer, sizeof buffer));
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
    Answer(chosen);
}

EMSCRIPTEN_KEEPALIVE void tavlo_texts_translate(int plural, double n) {
    buffer[sizeof buffer - 1] = '\0';
    const std::string one(buffer);
    if (!plural) {
        Answer(PageCatalog().Get(one));
        return;
    }
    const std::size_t at = std::min(one.size() + 1, sizeof buffer - 1);
    const std::string many(buffer + at);
    const double count = std::isfinite(n) ? std::clamp(std::floor(std::fabs(n)), 0.0, 1e15) : 0.0;
    Answer(PageCatalog().GetPlural(one, many, static_cast<std::uint64_t>(count)));
}

}  // extern "C"
