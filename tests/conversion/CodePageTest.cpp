#include "conversion/CodePage.h"

#include "support/Scripts.h"

#include <gtest/gtest.h>
namespace tolvren {
namespace {

using testing::Gbk;

TEST(CodePage, GbkToUtf8) {
    struct Case {
        std::string gbk, utf8;
    } cases[] = {
        {"", ""},
        {"plain ASCII ';,=\r\n", "plain ASCII ';,=\r\n"},
        {"\xB8\xE8\xC3\xFB", "歌名"},
        {"\xB8\xE8\xCA\xD6", "歌手"},
        {"\x80", "€"}, // code page 936 maps 0x80 to the euro sign
        {Gbk("第一行 It's 你好"), "第一行 It's 你好"},
        {"\xFF", "\xEF\xA3\xB5"},       // U+F8F5, as Windows maps it
        {"a\x81 b", "a\xEF\xBF\xBD b"}, // lead byte without a trail byte: the ASCII stays
        {"\xB8'x\x81\x7F", "\xEF\xBF\xBD'x\xEF\xBF\xBD\x7F"},
        {"x\xB8", "x\xEF\xBF\xBD"}, // lead byte cut off at the end
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToUtf8(c.gbk), c.utf8) << c.utf8;
    }
}

TEST(CodePage, EveryByteValueConvertsToValidUtf8) {
    std::string all;
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; trail += 3) {
            all.push_back(static_cast<char>(lead));
            all.push_back(static_cast<char>(trail));
        }
    }
    EXPECT_TRUE(IsValidUtf8(ToUtf8(all)));
}

TEST(CodePage, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("情歌 🎤"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));     // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE6\x83"));     // cut short
    EXPECT_FALSE(IsValidUtf8(Gbk("情歌")));
}

TEST(CodePage, FileNamesAsUtf8OrElseGbk) {
    EXPECT_EQ(FileNameToUtf8("情歌"), "情歌");
    EXPECT_EQ(FileNameToUtf8(Gbk("情歌")), "情歌");
    EXPECT_EQ(FileNameToUtf8("plain"), "plain");
}

} // namespace
} // namespace tolvren
