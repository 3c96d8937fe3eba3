#include "conversion/CodePage.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

TEST(CodePage, GbkAsWindowsMapsIt) {
    struct Case {
        std::string gbk, utf8;
    };
    for (const Case& c : {Case{"\xB8\xE8\xC3\xFB", "歌名"}, Case{"\x80", "€"},
                          Case{"\xFF", "\xEF\xA3\xB5"}, // U+F8F5, as Windows maps it
                          // A lead byte without its trail byte never takes an ASCII byte along.
                          Case{"a\x81 b", "a\xEF\xBF\xBD b"},
                          Case{"\xB8'x\x81\x7F", "\xEF\xBF\xBD'x\xEF\xBF\xBD\x7F"},
                          Case{"x\xB8", "x\xEF\xBF\xBD"}}) {
        EXPECT_EQ(ToUtf8(c.gbk), c.utf8) << c.utf8;
    }
    std::string all;
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            all += {static_cast<char>(lead), static_cast<char>(trail)};
        }
    }
    EXPECT_TRUE(IsValidUtf8(ToUtf8(all)));
    EXPECT_EQ(ToUtf8(all), ToUtf8ThroughIcu(all)); // the table of pairs is ICU's own mapping
}

TEST(CodePage, Utf8ValidationAndFileNames) {
    EXPECT_TRUE(IsValidUtf8("情歌 🎤"));
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE6\x83", "\xC7\xE9\xB8\xE8"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    }
    EXPECT_EQ(FileNameToUtf8("情歌"), "情歌");
    EXPECT_EQ(FileNameToUtf8("\xC7\xE9\xB8\xE8"), "情歌");
}

TEST(CodePage, EncodingNamesAsUsersTypeThem) {
    for (const char* known : {"auto", "GBK", "cp936", "gb18030", "Big5", "big5-hkscs", "UTF-8",
                              "utf-16le", "shift_jis", "euc-kr"}) {
        EXPECT_TRUE(InputEncoding::FromName(known)) << known;
    }
    for (const char* unknown : {"", "nosuch", "utf-9"}) {
        EXPECT_FALSE(InputEncoding::FromName(unknown)) << unknown;
    }
    EXPECT_TRUE(InputEncoding::FromName("AUTO")->IsAutomatic());
    EXPECT_EQ(InputEncoding::FromName("gbk")->IcuName(), ""); // the default reading
}

} // namespace
} // namespace tolvren
