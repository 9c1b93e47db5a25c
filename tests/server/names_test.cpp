// Names as players write them, the page's language as browsers ask for it, and the reaction
// lines as a play writes them.
#include <gtest/gtest.h>

#include "names.h"
#include "page.h"
#include "reactions.h"

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

// A play's lines are taken whole or not at all: one damaged line, and the run has no verdict.
// 100 ms is seen; the median of an even count is the lower middle.
TEST(ReactionsTest, LinesAreReadStrictlyAndSummedUp) {
    const char* kDamaged[] = {
        "1\t1\t0\t000187\t11526\t12000\t474",         // no newline
        "1\t1\t0\t000187\t11526\t12000\t470\n",       // not press - shown
        "1\t1\t4\t000187\t11526\t12000\t474\n",       // no such kind
        "0\t1\t0\t000187\t11526\t12000\t474\n",       // round 0
        "1\t1\t0\t000187\t11526\t12000\n",            // six fields
        "1\t1\t0\t000187\t11526\t12000\t474\t1\n",    // eight
        "1\t1\t0\t000187\t-11526\t12000\t23526\n",    // a clock below zero
        "1\t1\t0\t000187\t11526\t12000\t+474\n",      // a sign
        "1\t1\t0\t000187\t11526\t12000\t474\r\n",     // a carriage return
        "1\t1\t0\t000187\t1152600000000000\t1\t1\n",  // too long a number
    };
    for (const char* damaged : kDamaged) {
        EXPECT_FALSE(ReadReactionLines(damaged).has_value()) << damaged;
    }
    const ReactionRule rule;
    const auto summary = Summarise(
        "1\t1\t0\t000187\t1000\t1100\t100\n1\t2\t1\t000300\t2000\t2099\t99\n"
        "2\t1\t3\t000900\t9000\t8990\t-10\n2\t2\t2\t001000\t9900\t10300\t400\n",
        rule);
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(summary->hits, 4);
    EXPECT_EQ(summary->unseen, 2);
    EXPECT_EQ(summary->fastestMs, -10);
    EXPECT_EQ(summary->medianMs, 99);
    EXPECT_EQ(BoardFor(*summary, rule), Board::Human);
    EXPECT_EQ(BoardFor(*summary, ReactionRule{100, 2}), Board::Assisted);
    const auto none = Summarise("", rule);
    ASSERT_TRUE(none.has_value());
    EXPECT_EQ(none->hits, 0);
    EXPECT_FALSE(none->medianMs.has_value());
}

}  // namespace
}  // namespace scores
