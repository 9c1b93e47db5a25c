// The reader of compiled catalogues, the plural rules and the player's languages (catalog.h).
#include "catalog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "files.h"
#include "system.h"

namespace platform {
namespace {

// The .mo file's header: magic, revision, count, the two tables' offsets (the hash table that
// follows is not needed to look a text up here).
constexpr std::uint32_t kMagic = 0x950412de;
constexpr std::size_t kHeaderBytes = 20;
// Our catalogues are a few tens of KiB.
constexpr std::size_t kLargestCatalog = 1 << 20;
// Deeper nesting than this is no plural rule a language needs.
constexpr int kDeepest = 64;

class Bytes {
  public:
    Bytes(std::string_view bytes, bool swapped) : bytes_(bytes), swapped_(swapped) {}
    bool Word(std::size_t at, std::uint32_t& value) const {
        if (at > bytes_.size() || bytes_.size() - at < 4) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + at);
        value = swapped_ ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                            std::uint32_t{p[2]} << 8 | p[3])
                         : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                            std::uint32_t{p[1]} << 8 | p[0]);
        return true;
    }
    // The string a table's entry `index` names: its length and offset, within the file and
    // followed by its NUL.
    bool String(std::uint32_t table, std::uint32_t index, std::string& out) const {
        std::uint32_t length = 0, offset = 0;
        const std::size_t entry = std::size_t{table} + std::size_t{index} * 8;
        if (!Word(entry, length) || !Word(entry + 4, offset)) return false;
        if (offset > bytes_.size() || bytes_.size() - offset <= length) return false;
        if (bytes_[std::size_t{offset} + length] != '\0') return false;
        out.assign(bytes_.data() + offset, length);
        return true;
    }

  private:
    std::string_view bytes_;
    bool swapped_;
};

// A recursive-descent reading of a plural expression, evaluated as it is read (C's precedence).
class PluralReader {
  public:
    PluralReader(std::string_view text, std::uint64_t n) : text_(text), n_(n) {}
    bool Read(std::uint64_t& value) {
        if (!Conditional(value, 0)) return false;
        Skip();
        return at_ == text_.size();
    }

  private:
    void Skip() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    bool Take(std::string_view op) {
        Skip();
        if (text_.substr(at_, op.size()) != op) return false;
        // "<" must not take the first half of "<=", nor "!" of "!=".
        if (op.size() == 1 && at_ + 1 < text_.size() && text_[at_ + 1] == '=' &&
            (op == "<" || op == ">" || op == "!" || op == "=")) {
            return false;
        }
        at_ += op.size();
        return true;
    }
    bool Conditional(std::uint64_t& value, int depth) {
        if (depth > kDeepest || !Or(value, depth + 1)) return false;
        if (!Take("?")) return true;
        std::uint64_t yes = 0, no = 0;
        if (!Conditional(yes, depth + 1) || !Take(":") || !Conditional(no, depth + 1)) return false;
        value = value ? yes : no;
        return true;
    }
    // Each level of binary operators: `next` reads its operands, `ops` are its operators.
    template <typename Next, typename Apply>
    bool Binary(std::uint64_t& value, int depth, std::initializer_list<std::string_view> ops,
                Next next, Apply apply) {
        if (!(this->*next)(value, depth)) return false;
        for (;;) {
            std::string_view found;
            for (const std::string_view op : ops) {
                if (Take(op)) {
                    found = op;
                    break;
                }
            }
            if (found.empty()) return true;
            std::uint64_t right = 0;
            if (!(this->*next)(right, depth) || !apply(found, value, right)) return false;
        }
    }
    bool Or(std::uint64_t& v, int d) {
        return Binary(v, d, {"||"}, &PluralReader::And, [](auto, auto& l, auto r) {
            l = l || r;
            return true;
        });
    }
    bool And(std::uint64_t& v, int d) {
        return Binary(v, d, {"&&"}, &PluralReader::Equality, [](auto, auto& l, auto r) {
            l = l && r;
            return true;
        });
    }
    bool Equality(std::uint64_t& v, int d) {
        return Binary(v, d, {"==", "!="}, &PluralReader::Relation, [](auto op, auto& l, auto r) {
            l = op == "==" ? l == r : l != r;
            return true;
        });
    }
    bool Relation(std::uint64_t& v, int d) {
        return Binary(v, d, {"<=", ">=", "<", ">"}, &PluralReader::Sum,
                      [](auto op, auto& l, auto r) {
                          l = op == "<=" ? l <= r : op == ">=" ? l >= r : op == "<" ? l < r : l > r;
                          return true;
                      });
    }
    bool Sum(std::uint64_t& v, int d) {
        return Binary(v, d, {"+", "-"}, &PluralReader::Product, [](auto op, auto& l, auto r) {
            l = op == "+" ? l + r : l - r;
            return true;
        });
    }
    bool Product(std::uint64_t& v, int d) {
        return Binary(v, d, {"*", "/", "%"}, &PluralReader::Unary, [](auto op, auto& l, auto r) {
            if (op != "*" && r == 0) return false;  // no rule divides by zero
            l = op == "*" ? l * r : op == "/" ? l / r : l % r;
            return true;
        });
    }
    bool Unary(std::uint64_t& value, int depth) {
        if (depth > kDeepest) return false;
        if (Take("!")) {
            if (!Unary(value, depth + 1)) return false;
            value = !value;
            return true;
        }
        Skip();
        if (Take("(")) return Conditional(value, depth + 1) && Take(")");
        if (at_ < text_.size() && text_[at_] == 'n') {
            ++at_;
            value = n_;
            return true;
        }
        if (at_ >= text_.size() || !std::isdigit(static_cast<unsigned char>(text_[at_]))) {
            return false;
        }
        value = 0;
        while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) {
            if (value > 1000000000) return false;  // no rule counts this high
            value = value * 10 + static_cast<unsigned>(text_[at_++] - '0');
        }
        return true;
    }

    std::string_view text_;
    std::uint64_t n_;
    std::size_t at_ = 0;
};

// The value of `field` in the catalogue's header ("Plural-Forms: nplurals=2; plural=n != 1;").
std::string HeaderField(const std::string& header, std::string_view field) {
    std::size_t line = 0;
    while (line < header.size()) {
        const std::size_t end = std::min(header.find('\n', line), header.size());
        if (header.compare(line, field.size(), field) == 0) {
            return header.substr(line + field.size(), end - line - field.size());
        }
        line = end + 1;
    }
    return "";
}

// "ll_CC.codeset@modifier" as the catalogue names to try: "ll_CC", then "ll".
void AddLocale(std::string locale, std::vector<std::string>& out) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale == "C" || locale == "POSIX") return;  // no catalogue: the texts as written
    const auto add = [&](const std::string& name) {
        if (!name.empty() && std::find(out.begin(), out.end(), name) == out.end()) {
            out.push_back(name);
        }
    };
    add(locale);
    add(locale.substr(0, locale.find('_')));
}

// Fill's work on any list of parts.
template <typename Part>
std::string FillParts(std::string_view text, const Part* parts, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t close = text[i] == '{' ? text.find('}', i) : std::string_view::npos;
        if (close == i + 2 && text[i + 1] >= '1' &&
            static_cast<std::size_t>(text[i + 1] - '0') <= count) {
            out += parts[text[i + 1] - '1'];
            i = close;
        } else {
            out += text[i];
        }
    }
    return out;
}

Catalog& TheCatalog() {
    static Catalog catalog;
    return catalog;
}
std::string& TheLanguage() {
    static std::string language;
    return language;
}

}  // namespace

bool EvaluatePlural(std::string_view expression, std::uint64_t n, std::uint64_t& value) {
    return PluralReader(expression, n).Read(value);
}

bool Catalog::Load(std::string_view bytes) {
    *this = Catalog();
    if (bytes.size() < kHeaderBytes) return false;
    std::uint32_t magic = 0;
    Bytes(bytes, false).Word(0, magic);
    const bool swapped = magic != kMagic;
    const Bytes file(bytes, swapped);
    std::uint32_t revision = 0, count = 0, originals = 0, translations = 0;
    file.Word(0, magic);
    file.Word(4, revision);
    file.Word(8, count);
    file.Word(12, originals);
    file.Word(16, translations);
    // Revisions 0 and 1 differ only in what this reader does not use.
    if (magic != kMagic || (revision >> 16) > 1 || count > bytes.size() / 16) return false;
    std::unordered_map<std::string, std::string> entries;
    std::string original, translation;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!file.String(originals, i, original) || !file.String(translations, i, translation)) {
            return false;
        }
        entries[original] = translation;
    }
    // The header (the entry of the empty text) gives the plural rule.
    std::string rule = "n != 1";
    unsigned long plurals = 2;
    if (const auto header = entries.find(""); header != entries.end()) {
        const std::string forms = HeaderField(header->second, "Plural-Forms:");
        const std::size_t counted = forms.find("nplurals=");
        const std::size_t ruled =
            forms.find("plural=", counted == std::string::npos ? 0 : counted + 9);
        if (counted != std::string::npos && ruled != std::string::npos) {
            plurals = std::strtoul(forms.c_str() + counted + 9, nullptr, 10);
            rule = forms.substr(ruled + 7);
            rule = rule.substr(0, rule.find(';'));
        }
        std::uint64_t probe = 0;
        if (plurals < 1 || plurals > 6 || !EvaluatePlural(rule, 1, probe)) return false;
    }
    entries_ = std::move(entries);
    pluralRule_ = std::move(rule);
    plurals_ = plurals;
    return true;
}

std::string Catalog::Get(std::string_view text) const {
    const auto found = entries_.find(std::string(text));
    if (found == entries_.end() || found->second.empty()) return std::string(text);
    return found->second;
}

unsigned long Catalog::PluralIndex(std::uint64_t n) const {
    std::uint64_t index = 0;
    if (!EvaluatePlural(pluralRule_, n, index) || index >= plurals_) return 0;
    return static_cast<unsigned long>(index);
}

std::string Catalog::GetPlural(std::string_view singular, std::string_view plural,
                               std::uint64_t n) const {
    std::string key(singular);
    key += '\0';
    key += plural;
    const auto found = entries_.find(key);
    if (found == entries_.end() || found->second.empty()) {
        return std::string(n == 1 ? singular : plural);
    }
    // The forms, NUL-separated, in the rule's order.
    const std::string& forms = found->second;
    std::size_t start = 0;
    for (unsigned long index = PluralIndex(n); index > 0; --index) {
        start = forms.find('\0', start);
        if (start == std::string::npos) return std::string(n == 1 ? singular : plural);
        ++start;
    }
    const std::size_t end = forms.find('\0', start);
    return forms.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<std::string> LanguagesFromEnvironment(const char* language, const char* all,
                                                  const char* messages, const char* lang) {
    const auto set = [](const char* value) { return value && *value; };
    const char* locale = set(all) ? all : set(messages) ? messages : set(lang) ? lang : nullptr;
    std::vector<std::string> out;
    // As glibc: the plain C or POSIX locale is the texts as written, LANGUAGE or not (POSIX
    // fixes what programs print there); any other locale, C.UTF-8 included, lets LANGUAGE choose.
    if (!locale || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0) {
        return out;
    }
    if (set(language)) {
        const std::string list = language;
        std::size_t start = 0;
        while (start <= list.size()) {
            const std::size_t end = std::min(list.find(':', start), list.size());
            const std::string item = list.substr(start, end - start);
            if (item == "C" || item == "POSIX") break;
            AddLocale(item, out);
            start = end + 1;
        }
    }
    AddLocale(locale, out);
    return out;
}

std::vector<std::string> LanguagesFromTags(const std::vector<std::string>& tags) {
    std::vector<std::string> out;
    for (const std::string& tag : tags) {
        // ll[-Script][-CC]: the script says which Chinese, as Windows' old names CHS and CHT do.
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= tag.size()) {
            const std::size_t end = std::min(tag.find_first_of("-_", start), tag.size());
            std::string part = tag.substr(start, end - start);
            for (char& c : part) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            parts.push_back(part);
            start = end + 1;
        }
        std::string language = parts[0], region, script;
        for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (language.empty()) continue;
        if (language == "c" || language == "posix") language = "en";
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (parts[i].size() == 2) region = parts[i];
            if (parts[i] == "HANS" || parts[i] == "CHS") script = "Hans";
            if (parts[i] == "HANT" || parts[i] == "CHT") script = "Hant";
        }
        if (language != "zh") {
            AddLocale(region.empty() ? language : language + "_" + region, out);
            continue;
        }
        // Chinese: Taiwan, Hong Kong and Macau write it traditional, the rest simplified (plain
        // Chinese too). A region whose writing the script contradicts is left out; after the
        // region's own catalogue comes its writing's (Singapore reads the mainland's).
        const bool traditional = region == "TW" || region == "HK" || region == "MO";
        if (script.empty()) script = traditional ? "Hant" : "Hans";
        const std::string writing = script == "Hant" ? "zh_TW" : "zh_CN";
        if (!region.empty() && traditional == (script == "Hant")) AddLocale("zh_" + region, out);
        AddLocale(writing, out);
    }
    return out;
}

std::vector<std::string> LanguagesFromAcceptLanguage(std::string_view header) {
    struct Asked {
        std::string tag;
        double weight;
    };
    std::vector<Asked> asked;
    std::size_t at = 0;
    while (at <= header.size()) {
        const std::size_t end = std::min(header.find(',', at), header.size());
        std::string_view item = header.substr(at, end - at);
        at = end + 1;
        double weight = 1;
        if (const std::size_t semi = item.find(';'); semi != std::string_view::npos) {
            const std::string_view params = item.substr(semi + 1);
            if (const std::size_t q = params.find("q="); q != std::string_view::npos) {
                weight = std::strtod(std::string(params.substr(q + 2)).c_str(), nullptr);
            }
            item = item.substr(0, semi);
        }
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (item.empty() || item == "*" || !(weight > 0)) continue;
        asked.push_back({std::string(item), weight});
    }
    std::stable_sort(asked.begin(), asked.end(),
                     [](const Asked& a, const Asked& b) { return a.weight > b.weight; });
    std::vector<std::string> tags;
    for (const Asked& a : asked) tags.push_back(a.tag);
    return LanguagesFromTags(tags);
}

std::optional<std::string> FirstWithCatalog(const std::vector<std::string>& languages,
                                            const std::function<bool(const std::string&)>& has) {
    for (const std::string& language : languages) {
        // English is the texts as written: a player who put it first gets them.
        if (language == "en" || language.rfind("en_", 0) == 0) return "";
        if (has(language)) return language;
    }
    return std::nullopt;
}

std::string FindCatalog(const std::vector<std::string>& roots,
                        const std::vector<std::string>& languages, Catalog& catalog) {
    const auto loads = [&](const std::string& language) {
        for (const std::string& root : roots) {
            const FileRead read =
                ReadRegularFile(root + "/" + language + "/LC_MESSAGES/tavlo.mo", kLargestCatalog);
            if (read.ok() && catalog.Load(read.bytes)) return true;
        }
        return false;
    };
    std::string chosen = FirstWithCatalog(languages, loads).value_or("");
    if (chosen.empty()) catalog = Catalog();
    return chosen;
}

std::string LoadCatalog(const std::vector<std::string>& roots,
                        const std::vector<std::string>& languages) {
    Catalog catalog;
    std::string chosen = FindCatalog(roots, languages, catalog);
    UseCatalog(std::move(catalog));
    TheLanguage() = chosen;
    return chosen;
}

std::string CurrentLanguageTag() {
    std::string tag = TheLanguage().empty() ? "en" : TheLanguage();
    std::replace(tag.begin(), tag.end(), '_', '-');
    return tag;
}

std::vector<std::string> CatalogRoots() {
    const std::string program = ExecutablePath();
    const std::size_t slash = program.find_last_of("/\\");
    if (slash == std::string::npos) return {};
    const std::string folder = program.substr(0, slash);
    return {folder + "/locale", folder + "/../locale", folder + "/../share/locale"};
}

std::string Fill(std::string_view text, std::initializer_list<std::string_view> parts) {
    return FillParts(text, parts.begin(), parts.size());
}

Said said(std::string_view text, std::vector<Said> parts) {
    Said out;
    out.text = std::string(text);
    out.parts = std::move(parts);
    return out;
}

namespace {

// `said` with its parts put in, looked up in `catalog` (none: the English).
std::string Filled(const Said& said, const Catalog* catalog) {
    if (said.verbatim) return said.text;
    std::vector<std::string> parts;
    for (const Said& part : said.parts) parts.push_back(Filled(part, catalog));
    const std::string text = catalog ? catalog->Get(said.text) : said.text;
    return FillParts(text, parts.data(), parts.size());
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Said::English() const {
    return Filled(*this, nullptr);
}

std::string Said::Translated() const {
    return Filled(*this, &CurrentCatalog());
}

std::string Said::In(const Catalog& catalog) const {
    return Filled(*this, &catalog);
}

std::string Said::Json() const {
    if (verbatim) return JsonString(text);
    std::string out = "{\"text\":" + JsonString(text) + ",\"parts\":[";
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "," : "") + parts[i].Json();
    return out + "]}";
}

void UseCatalog(Catalog catalog) {
    TheCatalog() = std::move(catalog);
}

const Catalog& CurrentCatalog() {
    return TheCatalog();
}

}  // namespace platform
