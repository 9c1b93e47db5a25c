// The server's words (words.h).
#include "words.h"

#include <filesystem>
#include <system_error>

#include "files.h"

#ifndef TAVLO_SCORES_LOCALE
#define TAVLO_SCORES_LOCALE ""
#endif

namespace scores {

Words::Words(const std::vector<std::string>& roots) {
    for (const std::string& root : roots) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
            const std::string language = entry.path().filename().string();
            if (catalogs_.count(language)) continue;
            const platform::FileRead read = platform::ReadRegularFile(
                entry.path().string() + "/LC_MESSAGES/tavlo.mo", std::size_t{1} << 20);
            platform::Catalog catalog;
            if (read.ok() && catalog.Load(read.bytes)) catalogs_[language] = std::move(catalog);
        }
    }
}

std::string Words::Choose(std::string_view asked, std::string_view acceptLanguage) const {
    const auto has = [this](const std::string& language) { return catalogs_.count(language) > 0; };
    if (!asked.empty()) {
        if (auto chosen = platform::FirstWithCatalog(
                platform::LanguagesFromTags({std::string(asked)}), has)) {
            return *chosen;
        }
    }
    return platform::FirstWithCatalog(platform::LanguagesFromAcceptLanguage(acceptLanguage), has)
        .value_or("");
}

const platform::Catalog& Words::For(const std::string& language) const {
    static const platform::Catalog english;
    const auto found = catalogs_.find(language);
    return found == catalogs_.end() ? english : found->second;
}

const Words& ServerWords() {
    static const Words words = [] {
        std::vector<std::string> roots = platform::CatalogRoots();
        if (*TAVLO_SCORES_LOCALE) roots.push_back(TAVLO_SCORES_LOCALE);
        return Words(roots);
    }();
    return words;
}

std::string PageTag(const std::string& language) {
    if (language.empty()) return "en";
    // The page's links have always named Simplified Chinese by its script.
    if (language == "zh_CN") return "zh-Hans";
    std::string tag = language;
    for (char& c : tag) {
        if (c == '_') c = '-';
    }
    return tag;
}

}  // namespace scores
