#include "conversion/FieldUtils.h"

#include <gtest/gtest.h>
#include <thread>

namespace tolvren {
namespace {

TEST(FieldUtils, GetFieldRangeCountsMissingFieldsAsEmpty) {
    struct Case {
        std::string text;
        std::ptrdiff_t first, last;
        std::string expected;
    };
    g_fieldDelimiter = '|';
    for (const Case& c :
         {Case{"a|b|c", 0, 1, "a|b"}, Case{"a|b", 1, 3, "b||"}, Case{"a|b", 5, 5, ""},
          Case{"|x", 0, 0, ""}, Case{"a|b|c", 2, 2, "c"}, Case{"a|b|c", 1, -1, "b|c"},
          Case{"a|b|c", -1, 1, ""}, Case{"a|b|c", 2, 1, ""}, Case{"a|b|", 1, 4, "b|||"},
          Case{"", 0, 2, "||"}, Case{"abc", 1, 1, ""}}) {
        EXPECT_EQ(GetFieldRange(c.text, c.first, c.last), c.expected)
            << c.text << " fields " << c.first << " to " << c.last;
    }
}

TEST(FieldUtils, GetFieldSetsTheDelimiterOfItsThreadOnly) {
    EXPECT_EQ(GetField("a'b'c'rest", '\'', 3), "rest");
    EXPECT_EQ(GetField("a'b'c'", '\'', 3), "");
    EXPECT_EQ(GetField("no delimiter", '\'', 1), "");
    char seenByNewThread = 0;
    std::thread([&] { seenByNewThread = g_fieldDelimiter; }).join();
    EXPECT_EQ(seenByNewThread, '|');
    EXPECT_EQ(CountDelimiters("a'b''c"), 3);
}

TEST(FieldUtils, ParseIntegerTakesASignAndTwelveDigits) {
    for (const auto& [text, value] : std::vector<std::pair<std::string_view, std::int64_t>>{
             {"0", 0}, {"-150", -150}, {"+200", 200}, {"999999999999", 999999999999}}) {
        EXPECT_EQ(ParseInteger(text), value) << text;
    }
    for (const std::string_view text :
         {"", "-", "+-1", " 5", "5 ", "1e3", "1.5", "1000000000000"}) {
        EXPECT_EQ(ParseInteger(text), std::nullopt) << text;
    }
}

TEST(FieldUtils, ReplaceAllLeftToRightWithoutOverlap) {
    struct Case {
        std::string text, replacement, find, expected;
        std::ptrdiff_t count;
    };
    for (const Case& c : {Case{"''''", "'", "''", "''", 2}, Case{"'''", "'", "''", "''", 1},
                          Case{"aaa", "aa", "a", "aaaaaa", 3}, Case{"abc", "x", "", "abc", 0}}) {
        std::string text = c.text;
        EXPECT_EQ(ReplaceAll(text, c.replacement, c.find), c.count) << c.text;
        EXPECT_EQ(text, c.expected) << c.text;
    }
}

TEST(FieldUtils, TrimmedAndMidRangeClampLikeTheWindowsStringType) {
    EXPECT_EQ(Trimmed(" \t\n\v\f\r-150 \r\n"), "-150");
    EXPECT_EQ(Trimmed(" \t \r\n"), "");
    EXPECT_EQ(Trimmed("\xA1\xA1x"), "\xA1\xA1x"); // an ideographic space is no white space
    const std::string text = "abcdef";
    EXPECT_EQ(MidRange(text, 0, -2), "");
    EXPECT_EQ(MidRange(text, 2, 1), "");
    EXPECT_EQ(MidRange(text, -1, 1), "abc"); // first counts as 0, the count stays 3
    EXPECT_EQ(MidRange(text, 4, 100), "ef");
    EXPECT_EQ(Mid(text, 2, -1), "");
}

} // namespace
} // namespace tolvren
