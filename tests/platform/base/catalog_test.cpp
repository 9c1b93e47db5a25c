// The catalogue reader: texts and plural forms from compiled catalogues in either byte order,
// damaged catalogues refused whole, plural rules of the languages we ship, and the player's
// languages as the environment and a browser give them.
#include "catalog.h"
#include "system.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using platform::Catalog;

// A compiled catalogue of `entries` (sorted by msgid, as msgfmt writes them), in either byte
// order.
std::string MoFile(const std::map<std::string, std::string>& entries, bool bigEndian = false) {
    std::string out;
    const auto word = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            const int shift = bigEndian ? 24 - 8 * i : 8 * i;
            out += static_cast<char>((v >> shift) & 0xFF);
        }
    };
    const auto count = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28, translations = originals + 8 * count;
    std::uint32_t strings = translations + 8 * count;
    word(0x950412de);
    word(0);
    word(count);
    word(originals);
    word(translations);
    word(0);
    word(strings);
    std::string pool;
    std::vector<std::uint32_t> table;
    for (const bool translated : {false, true}) {
        for (const auto& [id, text] : entries) {
            const std::string& s = translated ? text : id;
            table.push_back(static_cast<std::uint32_t>(s.size()));
            table.push_back(strings + static_cast<std::uint32_t>(pool.size()));
            pool += s;
            pool += '\0';
        }
    }
    for (const std::uint32_t v : table) word(v);
    return out + pool;
}

const std::string kFrench = MoFile({
    {"", "Content-Type: text/plain; charset=UTF-8\nPlural-Forms: nplurals=2; plural=(n > 1);\n"},
    {"Best score", "Meilleur score"},
    {std::string("%d round\0%d rounds", 18), std::string("%d manche\0%d manches", 20)},
});

TEST(Catalog, TextsAndPluralFormsInEitherByteOrder) {
    for (const bool bigEndian : {false, true}) {
        Catalog c;
        ASSERT_TRUE(c.Load(MoFile(
            {{"", "Plural-Forms: nplurals=2; plural=(n > 1);\n"}, {"Best score", "Meilleur score"}},
            bigEndian)));
        EXPECT_EQ(c.Get("Best score"), "Meilleur score");
        EXPECT_EQ(c.Get("Not in it"), "Not in it");
    }
    Catalog french;
    ASSERT_TRUE(french.Load(kFrench));
    // French counts 0 and 1 alike; English would not.
    EXPECT_EQ(french.GetPlural("%d round", "%d rounds", 0), "%d manche");
    EXPECT_EQ(french.GetPlural("%d round", "%d rounds", 2), "%d manches");
    const Catalog none;
    EXPECT_EQ(none.GetPlural("%d round", "%d rounds", 0), "%d rounds");
    EXPECT_EQ(none.GetPlural("%d round", "%d rounds", 1), "%d round");
}

// A damaged catalogue is refused whole: no half-read texts, never a read past its end.
TEST(Catalog, DamagedCataloguesAreRefused) {
    std::string cut = kFrench.substr(0, kFrench.size() - 3);
    std::string noNul = kFrench;
    noNul.back() = 'x';
    std::string hugeCount = kFrench;
    hugeCount[8] = '\xff';
    hugeCount[11] = '\x7f';
    std::string farOffset = kFrench;
    farOffset[32] = '\xff';  // the first original's offset
    farOffset[33] = '\xff';
    const std::string badRule = MoFile({{"", "Plural-Forms: nplurals=2; plural=(n > ;\n"}});
    const std::string zeroForms = MoFile({{"", "Plural-Forms: nplurals=0; plural=0;\n"}});
    for (const std::string& bytes : {std::string("short"), std::string(20, '\0'), cut, noNul,
                                     hugeCount, farOffset, badRule, zeroForms}) {
        Catalog c;
        EXPECT_FALSE(c.Load(bytes)) << bytes.size();
        EXPECT_TRUE(c.Empty());
        EXPECT_EQ(c.Get("Best score"), "Best score");
    }
}

TEST(Catalog, PluralRulesOfOurLanguages) {
    const struct {
        const char* rule;
        std::uint64_t n, index;
    } cases[] = {
        {"n != 1", 1, 0},
        {"n != 1", 0, 1},  // English, German, Spanish
        {"(n > 1)", 1, 0},
        {"(n > 1)", 0, 0},  // French
        {"(n > 1)", 2, 1},
        {"0", 5, 0},  // Japanese, Chinese
        {"n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2", 22,
         1},  // the three forms of Slavic rules
        {"n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2", 11, 2},
        {"!(n == 1)", 1, 0},
    };
    for (const auto& c : cases) {
        std::uint64_t value = 99;
        EXPECT_TRUE(platform::EvaluatePlural(c.rule, c.n, value)) << c.rule;
        EXPECT_EQ(value, c.index) << c.rule << " for " << c.n;
    }
    std::uint64_t value = 0;
    for (const char* bad : {"", "n %", "n / 0", "(n", "n ? 1", "x", "n = 1", "1 2"}) {
        EXPECT_FALSE(platform::EvaluatePlural(bad, 3, value)) << bad;
    }
    EXPECT_FALSE(
        platform::EvaluatePlural(std::string(500, '(') + "n" + std::string(500, ')'), 1, value));
}

TEST(Catalog, ThePlayersLanguages) {
    using V = std::vector<std::string>;
    const struct {
        const char *language, *all, *messages, *lang;
        V expected;
    } environments[] = {
        {nullptr, nullptr, nullptr, "ja_JP.UTF-8", {"ja_JP", "ja"}},
        {nullptr, "", "fr_CA.UTF-8", "de_DE.UTF-8", {"fr_CA", "fr"}},
        {nullptr, "de_AT.UTF-8@euro", "ja_JP", "es_ES", {"de_AT", "de"}},
        {"zh_CN:en", nullptr, nullptr, "ja_JP.UTF-8", {"zh_CN", "zh", "en", "ja_JP", "ja"}},
        // As glibc: only the plain C and POSIX locales ignore LANGUAGE.
        {"ja", nullptr, nullptr, "C", {}},
        {"ja", "POSIX", nullptr, "de_DE.UTF-8", {}},
        {"de", nullptr, nullptr, "C.UTF-8", {"de"}},
        {nullptr, nullptr, nullptr, "C.UTF-8", {}},
        {"ja", nullptr, nullptr, nullptr, {}},  // no locale at all: LANGUAGE is not read
        {nullptr, nullptr, nullptr, "POSIX", {}},
    };
    for (const auto& e : environments) {
        EXPECT_EQ(platform::LanguagesFromEnvironment(e.language, e.all, e.messages, e.lang),
                  e.expected)
            << (e.lang ? e.lang : "");
    }
    // Windows' preferred UI languages (and a browser's): each Chinese finds the catalogue of its
    // writing after its region's.
    const struct {
        V tags, expected;
    } tags[] = {
        {{"zh-Hans-CN", "ja-JP", "de"}, {"zh_CN", "zh", "ja_JP", "ja", "de"}},
        {{"zh-Hant", "zh", "fr-ca"}, {"zh_TW", "zh", "zh_CN", "fr_CA", "fr"}},
        {{"zh-SG"}, {"zh_SG", "zh", "zh_CN"}},
        {{"zh-Hans-HK"}, {"zh_CN", "zh"}},  // simplified, though Hong Kong's is traditional
        {{"zh-HK", "zh-CHS"}, {"zh_HK", "zh", "zh_TW", "zh_CN"}},
        {{"ZH-cht", "es-419", "EN-us"}, {"zh_TW", "zh", "es", "en_US", "en"}},
        {{"", "-x"}, {}},
        {{"C", "ja"}, {"en", "ja"}},  // a settings file's language=C: the texts as written
    };
    for (const auto& t : tags) {
        EXPECT_EQ(platform::LanguagesFromTags(t.tags), t.expected) << t.tags.front();
    }
    // The score server's: an Accept-Language header, by weight, the header's order among equals.
    const struct {
        const char* header;
        V expected;
    } headers[] = {
        {"fr-CH, fr;q=0.9, de;q=0.95, *;q=0.5", {"fr_CH", "fr", "de"}},
        {"ja;q=0.2,zh-TW;q=0.8,es", {"es", "zh_TW", "zh", "ja"}},
        {"de;q=0, en-GB;q=0.7", {"en_GB", "en"}},  // q=0 is "not this one"
        {"", {}},
    };
    for (const auto& h : headers) {
        EXPECT_EQ(platform::LanguagesFromAcceptLanguage(h.header), h.expected) << h.header;
    }
}

}  // namespace

namespace {

// A translation may put the parts of a sentence in another order.
TEST(Catalog, PartsGoWhereTheTranslationPutsThem) {
    using platform::Fill;
    EXPECT_EQ(Fill("{1}: cannot write {2}", {"tavlo", "a.conf"}), "tavlo: cannot write a.conf");
    EXPECT_EQ(Fill("{2} に書き込めません ({1})", {"tavlo", "a.conf"}),
              "a.conf に書き込めません (tavlo)");
    EXPECT_EQ(Fill("{3} {0} {} {1", {"x"}), "{3} {0} {} {1");  // not parts: kept as written
}

// A reason made where it is not known who reads it: the English for a program, the translation
// for a player, nested parts each in its own words; verbatim parts are never looked up, and the
// page's JSON keeps quotes, backslashes and control characters intact.
TEST(Catalog, ASaidSentenceIsEnglishOrTranslatedWhole) {
    using platform::said;
    const platform::Said reason =
        said("line {1}: {2}", {"7", said("it is larger than {1} bytes", {"16"})});
    Catalog french;
    ASSERT_TRUE(french.Load(MoFile({{"line {1}: {2}", "ligne {1}\u00a0: {2}"},
                                    {"it is larger than {1} bytes", "plus de {1} octets"},
                                    {"7", "sept"}})));
    platform::UseCatalog(french);
    EXPECT_EQ(reason.English(), "line 7: it is larger than 16 bytes");
    EXPECT_EQ(reason.Translated(), "ligne 7\u00a0: plus de 16 octets");
    platform::UseCatalog(Catalog());
    EXPECT_EQ(said("{1}", {"a\"b\\c\n"}).Json(), R"({"text":"{1}","parts":["a\"b\\c\u000a"]})");
}

}  // namespace

#ifndef _WIN32
namespace {

// A dialog drawn in the environment's locale gets a UTF-8 one for its time, LC_ALL as it was
// afterwards; a UTF-8 locale the system has is left as it is.
TEST(Utf8Locale, GivesTheDialogUtf8CharactersForItsTime) {
    const struct {
        const char* all;   // LC_ALL before (nullptr: unset)
        const char* lang;  // LANG
        const char* during;
    } cases[] = {
        {nullptr, "C", "C.UTF-8"},           {"C", "de_DE.UTF-8", "C.UTF-8"},
        {nullptr, "xx_YY.UTF-8", "C.UTF-8"},  // a locale that was never generated
        {"C.UTF-8", "C", "C.UTF-8"},         {nullptr, "C.UTF-8", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.all ? c.all : "(unset)") + " " + c.lang);
        c.all ? ::setenv("LC_ALL", c.all, 1) : ::unsetenv("LC_ALL");
        ::setenv("LANG", c.lang, 1);
        {
            const platform::Utf8Locale utf8;
            const char* during = std::getenv("LC_ALL");
            EXPECT_EQ(during ? std::string(during) : "(unset)", c.during ? c.during : "(unset)");
        }
        const char* after = std::getenv("LC_ALL");
        EXPECT_EQ(after ? std::string(after) : "(unset)", c.all ? c.all : "(unset)");
    }
    ::unsetenv("LC_ALL");
    ::unsetenv("LANG");
}

}  // namespace
#endif
