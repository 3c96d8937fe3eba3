#include "conversion/CodePage.h"

#include "conversion/EncodingDetection.h"
#include "conversion/LegacyCodePage.h"
#include "conversion/TextDecoders.h"

#include <algorithm>
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
    // The tables hold every character the platform's code pages have, and nothing else.
    for (const auto& [name, codePage] : {std::pair{kCodePage936, &DoubleByteCodePage::Gbk},
                                         std::pair{kCodePage950, &DoubleByteCodePage::Big5}}) {
        int differing = 0;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                const auto l = static_cast<unsigned char>(lead);
                const auto t = static_cast<unsigned char>(trail);
                if (!DoubleByteCodePage::IsTrail(t)) {
                    continue;
                }
                std::string platform;
                const bool valid =
                    DecodeLegacy(name, std::string{static_cast<char>(l), static_cast<char>(t)},
                                 platform) == 0;
                differing += codePage().Pair(l, t) != (valid ? platform : "") ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 0) << name;
    }
}

TEST(CodePage, EveryLegacyByteIsACharacterOrAWarnedReplacement) {
    // Every single byte and pair on a line of its own, in every code page both platforms read.
    std::string script;
    for (int single = 0x80; single <= 0xFF; ++single) {
        script += {static_cast<char>(single), '\n'};
    }
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x20; trail <= 0xFF; ++trail) {
            script += {static_cast<char>(lead), static_cast<char>(trail), '\n'};
        }
    }
    std::vector<std::string> names{"gbk", "big5"};
    const std::string shared = SharedCodePageNames();
    for (std::size_t at = 2; at < shared.size(); at = shared.find(", ", at) + 2) {
        names.push_back(shared.substr(at, shared.find(", ", at) - at));
        if (shared.find(", ", at) == std::string::npos) {
            break;
        }
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const DecodedScript decoded = DecodeScript(script, *InputEncoding::FromName(name));
        ASSERT_TRUE(IsValidUtf8(decoded.text));
        std::size_t line = 1;
        std::size_t replacedLines = 0;
        for (std::size_t start = 0; start < decoded.text.size(); ++line) {
            const std::size_t end = decoded.text.find('\n', start);
            const std::string_view text = std::string_view(decoded.text).substr(start, end - start);
            start = end + 1;
            replacedLines += text.find(kReplacementCharacter) != std::string_view::npos ? 1 : 0;
            // No control character but the script's own ASCII bytes (a C1 control is C2 80 ..
            // C2 9F), and no private-use stand-in for a single byte (GBK keeps 0xFF as its
            // documents have always had it).
            EXPECT_TRUE(std::ranges::none_of(text, [](char c) {
                return static_cast<unsigned char>(c) < 0x20;
            })) << line;
            for (std::size_t c1 = text.find('\xC2'); c1 != std::string_view::npos;
                 c1 = text.find('\xC2', c1 + 1)) {
                EXPECT_GE(static_cast<unsigned char>(text[c1 + 1]), 0xA0) << line;
            }
            if (line <= 0x80 && name != "gbk") {
                EXPECT_FALSE(text.starts_with("\xEE") || text.starts_with("\xEF\xA0") ||
                             text.starts_with("\xEF\xA1") || text.starts_with("\xEF\xA2") ||
                             text.starts_with("\xEF\xA3"))
                    << line;
            }
        }
        // Every line with a replacement is warned.
        EXPECT_EQ(decoded.invalid.FirstLines().size() + decoded.invalid.MoreLines(), replacedLines);
    }
    // GB2312 is read as GBK, which holds it and the characters beyond it.
    EXPECT_EQ(DecodeScript("\xE9\x46\x86\xB4", *InputEncoding::FromName("GB2312")).text, "镕喆");
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
    for (const char* known :
         {"auto", "GBK", "cp936", "gb18030", "Big5", "UTF-8", "utf-16le", "shift_jis", "euc-kr"}) {
        EXPECT_TRUE(InputEncoding::FromName(known)) << known;
    }
    for (const char* unknown : {"", "nosuch", "utf-9"}) {
        EXPECT_FALSE(InputEncoding::FromName(unknown)) << unknown;
    }
    EXPECT_TRUE(InputEncoding::FromName("AUTO")->IsAutomatic());
    EXPECT_EQ(InputEncoding::FromName("cp936"), InputEncoding()); // the default reading
}

TEST(CodePage, TheStrongestEvidenceDecides) {
    using Kind = InputEncoding::Kind;
    const std::string gbkTitle = "karaoke.tag('\xB8\xE8\xC3\xFB', 'x');\n";
    const std::string big5Title = "karaoke.tag('\xBA\x71\xA6\x57', 'x');\n";
    const std::string fourByte = "\x95\x32\x82\x36"; // U+20000 in GB18030
    struct Case {
        std::string bytes;
        Kind kind;
    };
    for (const auto& [bytes, kind] : {
             Case{"karaoke.add('1', '2', 'abc', '4');", Kind::Gbk},
             Case{std::string("k\0a\0r\0a\0o\0k\0e\0.\0", 16), Kind::Utf16Le},
             // Tag names outweigh stray bytes and lyrics alike.
             Case{"karaoke.tag('歌名', '\xC7\xE9\xB8\xE8\xC7\xE9\xB8\xE8');", Kind::Utf8},
             Case{big5Title + "\xB8\xE8\xC3\xFB", Kind::Big5},
             Case{gbkTitle + fourByte, Kind::Gb18030},
             Case{"  " + big5Title + gbkTitle, Kind::Gbk}, // an indented statement says nothing
             // Two GBK characters that happen to form UTF-8 are no evidence; three of UTF-8 are.
             Case{"\xCB\xAD\xCB\xAD", Kind::Gbk},
             Case{"我们的", Kind::Utf8},
             Case{"\xA0我们的爱在这里", Kind::Utf8},
             Case{"x" + fourByte, Kind::Gb18030},
         }) {
        EXPECT_EQ(DetectEncoding(bytes), kind) << bytes;
    }
}

TEST(CodePage, InvalidBytesAreNamedByLineTheRestCounted) {
    std::string script;
    for (int line = 0; line < 24; ++line) {
        script += line % 2 == 0 ? "ok\n" : "bad \x81\x7F\x81\n";
    }
    const DecodedScript decoded = DecodeScript(script, *InputEncoding::FromName("big5"));
    ASSERT_EQ(decoded.invalid.FirstLines().size(), InvalidBytes::kLinesNamed);
    EXPECT_EQ(decoded.invalid.FirstLines()[0].line, 2U);
    EXPECT_EQ(decoded.invalid.FirstLines()[0].bytes, 2U); // each lead byte without its trail
    EXPECT_EQ(decoded.invalid.Total(), 24U);
    EXPECT_EQ(decoded.invalid.MoreLines(), 2U);
    EXPECT_EQ(decoded.invalid.MoreBytes(), 4U);
    EXPECT_EQ(decoded.text.substr(3, 12), "bad \xEF\xBF\xBD\x7F\xEF\xBF\xBD\n");
}

} // namespace
} // namespace tolvren
