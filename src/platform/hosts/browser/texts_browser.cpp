// The page's texts through the port's one catalogue reader (base/catalog.h), so that the page
// and the game speak the same language from the same catalogues. The build preloads them into
// the module's file system (/locale/LL/LC_MESSAGES/tavlo.mo); the page (i18n.js, through
// core.js) hands over the languages the player asks for and each text it shows through a buffer
// of this file's:
//
//   tavlo_texts_language()         in: the player's language tags, one a line ("ja-JP", "de");
//                                  puts that catalogue in use, for the game too;
//                                  out: the language chosen ("ja", "zh_CN"; "" for English)
//   tavlo_texts_translate(p, n)    in: the text; with p, its plural after a NUL;
//                                  out: the translation (for the number n when p)
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "catalog.h"

namespace {

// The page's longest text is a few hundred bytes; longer than this it is cut.
char buffer[16384];

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
    std::istringstream in(std::string(buffer, strnlen(buffer, sizeof buffer)));
    std::vector<std::string> tags;
    for (std::string tag; std::getline(in, tag);) {
        if (!tag.empty()) tags.push_back(tag);
    }
    Answer(platform::LoadCatalog({"/locale"}, platform::LanguagesFromTags(tags)));
}

EMSCRIPTEN_KEEPALIVE void tavlo_texts_translate(int plural, double n) {
    buffer[sizeof buffer - 1] = '\0';
    const std::string one(buffer);
    if (!plural) {
        Answer(tr(one));
        return;
    }
    const std::size_t at = std::min(one.size() + 1, sizeof buffer - 1);
    const std::string many(buffer + at);
    const double count = std::isfinite(n) ? std::clamp(std::floor(std::fabs(n)), 0.0, 1e15) : 0.0;
    Answer(trn(one, many, static_cast<std::uint64_t>(count)));
}

}  // extern "C"
