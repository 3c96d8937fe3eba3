#include "conversion/FieldUtils.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <thread>

namespace tolvren {
namespace {

struct RangeCase {
    std::string text;
    std::ptrdiff_t first;
    std::ptrdiff_t last;
    std::string expected;
};

TEST(FieldUtils, GetFieldRangeCutsAtTheCurrentDelimiter) {
    g_fieldDelimiter = '|';
    for (const RangeCase& c : std::initializer_list<RangeCase>{{"a|b|c", 0, 1, "a|b"},
                                                               {"a|b", 1, 3, "b||"},
                                                               {"a|b", 5, 5, ""},
                                                               {"|x", 0, 0, ""},
                                                               {"a|b|c", 2, 2, "c"},
                                                               {"a|b|c", 1, -1, "b|c"},
                                                               {"a|b|c", -1, 1, ""},
                                                               {"a|b|c", 2, 1, ""},
                                                               {"a|b|c", 0, -1, "a|b|c"},
                                                               {"a|b|", 2, 2, ""},
                                                               {"a|b|", 1, 4, "b|||"},
                                                               {"", 0, 0, ""},
                                                               {"", 0, 2, "||"},
                                                               {"abc", 0, 0, "abc"},
                                                               {"abc", 1, 1, ""}}) {
        EXPECT_EQ(GetFieldRange(c.text, c.first, c.last), c.expected)
            << "text '" << c.text << "' fields " << c.first << " to " << c.last;
    }
}

TEST(FieldUtils, GetFieldCutsTagStatementsAtApostrophes) {
    const std::string line = "karaoke.tag('\xB8\xE8\xC3\xFB', '\xCA\xBE\xC0\xFD');"; // 歌名, 示例
    const char* expected[] = {"karaoke.tag(", "\xB8\xE8\xC3\xFB", ", ", "\xCA\xBE\xC0\xFD", ");"};
    for (std::ptrdiff_t i = 0; i < 5; ++i) {
        EXPECT_EQ(GetField(line, '\'', i), expected[i]) << "field " << i;
    }
    EXPECT_EQ(g_fieldDelimiter, '\'');
}

TEST(FieldUtils, GetFieldAroundTheThirdApostrophe) {
    EXPECT_EQ(GetField("a'b'c'rest of line", '\'', 3), "rest of line");
    EXPECT_EQ(GetField("a'b'c'", '\'', 3), "");
    EXPECT_EQ(GetField("a'b", '\'', 3), "");
    EXPECT_EQ(GetField("no delimiter", '\'', 0), "no delimiter");
    EXPECT_EQ(GetField("no delimiter", '\'', 1), "");
}

TEST(FieldUtils, DelimiterStartsAsBarAndIsPerThread) {
    char seenByNewThread = 0;
    GetField("x", ';', 0);
    std::thread([&] { seenByNewThread = g_fieldDelimiter; }).join();
    EXPECT_EQ(seenByNewThread, '|');
    EXPECT_EQ(g_fieldDelimiter, ';');
    EXPECT_EQ(CountDelimiters("a;b;;c"), 3);
}

TEST(FieldUtils, ReplaceAllLeftToRightWithoutOverlap) {
    struct Case {
        std::string text, replacement, find, expected;
        std::ptrdiff_t count;
    } cases[] =
        {
            {"''''", "'", "''", "''", 2},    {"It''s", "'", "''", "It's", 1},
            {"'''", "'", "''", "''", 1},     {"abc", "'", "''", "abc", 0},
            {"aaa", "aa", "a", "aaaaaa", 3}, // replaced text is never searched again
            {"abc", "x", "", "abc", 0},      // an empty search text changes nothing
        };
    for (Case& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(ReplaceAll(text, c.replacement, c.find), c.count) << c.text;
        EXPECT_EQ(text, c.expected) << c.text;
    }
}

TEST(FieldUtils, TrimmedRemovesTheSixWhiteSpaceBytes) {
    EXPECT_EQ(Trimmed(" \t\n\v\f\r-150 \r\n"), "-150");
    EXPECT_EQ(Trimmed(" \t \r\n"), "");
    EXPECT_EQ(Trimmed("a b"), "a b");
    EXPECT_EQ(Trimmed("\xA1\xA1x"), "\xA1\xA1x"); // a GBK ideographic space is not white space
}

TEST(FieldUtils, MidAndMidRangeClampLikeTheStringTypeOfWindows) {
    const std::string text = "abcdef";
    EXPECT_EQ(MidRange(text, 0, -2), "");
    EXPECT_EQ(MidRange(text, 2, 1), "");
    EXPECT_EQ(MidRange(text, 1, 3), "bcd");
    EXPECT_EQ(MidRange(text, -1, 1), "abc"); // first counts as 0, the count stays 3
    EXPECT_EQ(MidRange(text, 4, 100), "ef");
    EXPECT_EQ(MidRange(text, 6, 9), "");
    EXPECT_EQ(Mid(text, -5, 2), "ab");
    EXPECT_EQ(Mid(text, 2, -1), "");
}

} // namespace
} // namespace tolvren
