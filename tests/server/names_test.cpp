// Names as players write them, and the page's language as browsers ask for it.
#include <gtest/gtest.h>

#include "names.h"
#include "page.h"

namespace scores {
namespace {

TEST(NamesTest, AcceptsLettersDigitsAndALittlePunctuationInNfc) {
    struct Case {
        const char* given;
        const char* name;
    };
    const Case cases[] = {
        {"Ana", "Ana"},
        {"  Ana  ", "Ana"},    // spaces at the ends dropped
        {"Zoe\u0308", "Zoë"},  // e + combining diaeresis → ë
        {"太郎", "太郎"},
        {"R2-D2 & C-3PO", "R2-D2 & C-3PO"},
        {"abcdefghijklmnop", "abcdefghijklmnop"},  // 16
        {"e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301éééééééé",
         "éééééééééééééééé"},  // 16 after NFC
    };
    for (const Case& c : cases) {
        const CheckedName checked = CheckName(c.given);
        EXPECT_EQ(checked.error, "") << c.given;
        EXPECT_EQ(checked.name, c.name) << c.given;
    }
}

TEST(NamesTest, RefusesWithAReason) {
    struct Case {
        std::string given;
        const char* reason;
    };
    const Case cases[] = {
        {"", "empty"},
        {"   ", "empty"},
        {"abcdefghijklmnopq", "longer than 16"},
        {"a\x07z", "control character"},
        {std::string("a\0z", 3), "control character"},
        {"a\tz", "control character"},
        {"evil\u202E", "text-direction"},   // RIGHT-TO-LEFT OVERRIDE
        {"a\u2066z", "text-direction"},     // LEFT-TO-RIGHT ISOLATE
        {"a\u200Bz", "control character"},  // ZERO WIDTH SPACE (a format character)
        {"<b>", "only letters"},
        {"a/b", "only letters"},
        {"a  b", "two spaces"},
        {"\u0301x", "accent without its letter"},
        {"\xC3\x28", "UTF-8"},
        {"\U0001F600", "only letters"},  // an emoji
        // Blank or invisible, though some count as letters: alone or inside a name.
        {"\u3164", "invisible"},  // HANGUL FILLER (a letter, Lo)
        {"\u3164\u3164\u3164", "invisible"},
        {"Ana\u3164", "invisible"},
        {"\u115F", "invisible"},    // HANGUL CHOSEONG FILLER
        {"a\u1160", "invisible"},   // HANGUL JUNGSEONG FILLER
        {"\uFFA0x", "invisible"},   // HALFWIDTH HANGUL FILLER
        {"a\u2800b", "invisible"},  // BRAILLE PATTERN BLANK
        {"a\u034Fb", "invisible"},  // COMBINING GRAPHEME JOINER (default-ignorable)
        {"a\u180Bb", "invisible"},  // MONGOLIAN FREE VARIATION SELECTOR ONE
    };
    for (const Case& c : cases) {
        const CheckedName checked = CheckName(c.given);
        EXPECT_NE(checked.error.find(c.reason), std::string::npos)
            << "\"" << c.given << "\" gave \"" << checked.error << "\"";
        EXPECT_EQ(checked.name, "");
    }
}

TEST(NamesTest, OneKeyForEveryCaseOfAName) {
    EXPECT_EQ(CheckName("Émile").key, CheckName("ÉMILE").key);
    EXPECT_EQ(CheckName("E\u0301mile").key, CheckName("émile").key);
    EXPECT_EQ(CheckName("Straße").key, CheckName("STRASSE").key);  // ß folds to ss
    EXPECT_NE(CheckName("Ana").key, CheckName("Anna").key);
}

TEST(NamesTest, LookAlikesShareASkeletonAndOthersDoNot) {
    struct Case {
        const char* a;
        const char* b;
        bool alike;
    };
    const Case cases[] = {
        {"Paypal", "P\u0430ypal", true},  // Cyrillic а
        {"Paypal", "PAYPAL", true},       // case
        {"PaypaI", "Paypal", true},       // capital I, small l
        {"Ana", "\u0410na", true},        // Cyrillic А
        {"Zoë", "Zoe\u0308", true},       // NFC alike
        {"ﬁsh", "fish", true},            // NFKC: the ligature
        {"Ｔｏｍ", "Tom", true},          // NFKC: full width
        {"Ana", "Anna", false},          {"Zoë", "Zoe", false}, {"太郎", "次郎", false},
    };
    for (const Case& c : cases) {
        const CheckedName a = CheckName(c.a);
        const CheckedName b = CheckName(c.b);
        ASSERT_EQ(a.error + b.error, "") << c.a << " / " << c.b;
        ASSERT_FALSE(a.skeleton.empty()) << c.a;
        EXPECT_EQ(a.skeleton == b.skeleton, c.alike) << c.a << " / " << c.b;
    }
}

TEST(PageLanguageTest, TheAskedOneThenTheBrowsersByWeightThenEnglish) {
    struct Case {
        const char* asked;
        const char* accept;
        const char* language;
    };
    const Case cases[] = {
        {"", "", "en"},
        {"", "ja-JP,ja;q=0.9,en;q=0.8", "ja"},
        {"", "it, de-AT;q=0.7, fr;q=0.9", "fr"},
        {"", "zh-CN,zh;q=0.9", "zh-Hans"},
        {"", "zh-TW", "en"},  // Traditional Chinese is not Simplified
        {"", "zh-Hant-TW, es;q=0.5", "es"},
        {"de", "ja", "de"},
        {"xx", "es", "es"},
        {"zh-Hans", "", "zh-Hans"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PageLanguage(c.asked, c.accept), c.language) << c.asked << " / " << c.accept;
    }
}

}  // namespace
}  // namespace scores
