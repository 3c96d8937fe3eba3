#include "conversion/LyricConverter.h"

#include "support/Scripts.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

using testing::Document;
using testing::Gbk;
using testing::Script;
using namespace std::string_literals;

struct LineCase {
    const char* name;
    std::string statement; // UTF-8, converted to GBK for the call
    std::string expected;  // UTF-8, converted to GBK for the comparison
};

TEST(LyricConverter, TranslateLineGivesTheElementLine) {
    const LineCase cases[] = {
        {"Typical", "karaoke.add('00:01.000', '00:03.000', '第一行', '500,800,700');",
         "  <l t=\"00:01.000,00:03.000,500,800,700\">第一行</l>\n"},
        {"NoBlanks", "karaoke.add('1','2','3','4');", "  <l t=\"1,2,4\">3</l>\n"},
        {"EmptyText", "karaoke.add('1', '2', '', '4');", "  <l t=\"1,2,4\"></l>\n"},
        {"DoubledApostropheInAsciiText", "karaoke.add('1', '2', 'It''s', '4');",
         "  <l t=\"1,2,4\">It's</l>\n"},
        {"DoubledApostropheKeptInChineseText", "karaoke.add('1', '2', '你''好', '4');",
         "  <l t=\"1,2,4\">你''好</l>\n"},
        {"FourApostrophesBecomeTwo", "karaoke.add('1', '2', 'a''''b', '4');",
         "  <l t=\"1,2,4\">a''b</l>\n"},
        {"ApostropheCommaInsideTextEndsIt", "karaoke.add('1', '2', 'Yes'', I do', '4');",
         "  <l t=\"1,2,, \">Yes'</l>\n"},
        {"OnlyThreeFields", "karaoke.add('1', '2', '3');", "\n"},
        {"FourthFieldUnclosed", "karaoke.add('1', '2', '3', '4);", "\n"},
        {"NoApostropheAtAll", "karaoke.add();", "\n"},
        {"NotEscaped", "karaoke.add('a&b', '2', 'x<y', '4');", "  <l t=\"a&b,2,4\">x<y</l>\n"},
        {"QuoteInText", "karaoke.add('1', '2', 'say \"hi\"', '4');",
         "  <l t=\"1,2,4\">say \"hi\"</l>\n"},
        {"TrailingGarbageSkipped", "karaoke.add('1', '2', '3', '4') -- x', 'y",
         "  <l t=\"1,2,4\">3</l>\n"},
    };
    const LyricConverter converter("");
    for (const LineCase& c : cases) {
        EXPECT_EQ(converter.TranslateLine(Gbk(c.statement)), Gbk(c.expected)) << c.name;
    }
}

struct DocumentCase {
    const char* name;
    std::string script;   // GBK bytes as read from disk
    std::string fileName; // last component of the source path
    std::string author;   // UTF-8
    std::string expected; // document bytes as on disk
};

/// A document without lyric lines, title `ti` (none if empty), `extra` attributes before ">".
std::string Empty(const std::string& ti, const std::string& extra = "") {
    const std::string title = ti.empty() ? "" : "ti=\"" + ti + "\" ";
    return Document({"<kmc " + title + "ar=\"\" al=\"\" by=\"\" " + extra + ">", "</kmc>"});
}

const std::string workedExample = Script({
    "karaoke.tag('歌名', '示例');",
    "karaoke.tag('其他', '某值');",
    "karaoke.TimeOffset := 200;",
    "karaoke.add('00:01.000', '00:03.000', '第一行', '500,800,700');",
    "karaoke.add('00:03.500', '00:05.000', 'It''s me', '300,300,300');",
    "  karaoke.add('00:06.000', '00:07.000', '缩进', '500,500');",
});

TEST(LyricConverter, ConvertTextGivesTheDocumentByteForByte) {
    const DocumentCase cases[] = {
        {"WorkedExampleWithoutTitleAndOffset",
         Script({"karaoke.add('00:01.000', '00:03.000', '第一行', '500,800,700');"}), "demo.ksc",
         "作者",
         Document({"<kmc ti=\"demo\" ar=\"\" al=\"\" by=\"作者\" >",
                   "  <l t=\"00:01.000,00:03.000,500,800,700\">第一行</l>", "</kmc>"})},
        {"UntranslatableLineGivesEmptyLine",
         Script({"karaoke.add('00:03.500', '00:05.000', 'It''s me');"}), "demo.ksc", "",
         Document({"<kmc ti=\"demo\" ar=\"\" al=\"\" by=\"\" >", "", "</kmc>"})},
        {"BlankLinesIgnored", Script({"", "   ", "\t"}), "a.ksc", "", Empty("a")},
        {"TitleAfterLyrics",
         Script({"karaoke.add('1','2','3','4');", "karaoke.tag('歌名', '后来');"}), "a.ksc", "",
         Document(
             {"<kmc ti=\"后来\" ar=\"\" al=\"\" by=\"\" >", "  <l t=\"1,2,4\">3</l>", "</kmc>"})},
        {"SecondTitleWins", Script({"karaoke.tag('歌名', '一');", "karaoke.tag('歌名', '二');"}),
         "a.ksc", "", Empty("二")},
        {"EmptySecondTitleFallsBackToFileName",
         Script({"karaoke.tag('歌名', '一');", "karaoke.tag('歌名', '');"}), "a.b.ksc", "",
         Empty("a.b")},
        {"NameWithoutTitleBeforeDot", "", ".ksc", "", Empty("")},
        {"NameWithoutDot", "", "song", "", Empty("")},
        {"OffsetTrimmed", Script({"karaoke.TimeOffset =   -150 ;"}), "a.ksc", "",
         Empty("a", "offset=\"-150\" ")},
        {"OffsetOnlyBlanks", Script({"karaoke.TimeOffset =    ;"}), "a.ksc", "", Empty("a")},
        {"OffsetWithoutSemicolonAfterEquals", Script({"karaoke.TimeOffset ; = 5"}), "a.ksc", "",
         Empty("a")},
        {"OffsetWithoutEquals", Script({"karaoke.TimeOffset 7;"}), "a.ksc", "",
         Empty("a", "offset=\"karaoke.TimeOffset 7\" ")},
        {"TitleWithoutBlankAfterComma", Script({"karaoke.tag('歌名','示例')"}), "a.ksc", "",
         Empty("示例")},
        {"TitleEndsAtNextApostrophe", Script({"karaoke.tag('歌名', 'Rock''n''roll');"}), "a.ksc",
         "", Empty("Rock")},
        {"TitleWithExactlyThreeApostrophes", Script({"karaoke.tag('歌名', 'x y"}), "a.ksc", "",
         Empty("x y")},
        {"TitleWithTooFewApostrophesFallsBack", Script({"karaoke.tag('歌名'"}), "a.ksc", "",
         Empty("a")},
        {"SingerGoesIntoAr", Script({"karaoke.tag('歌手', '歌手甲');"}), "a.ksc", "",
         Document({"<kmc ti=\"a\" ar=\"歌手甲\" al=\"\" by=\"\" >", "</kmc>"})},
        {"IndentedTabbedOrMarkedStatementsIgnored",
         "\xEF\xBB\xBF" + Script({"karaoke.tag('歌名', '一');", "\tkaraoke.tag('歌名', '二');",
                                  " karaoke.add('1','2','3','4');"}),
         "a.ksc", "", Empty("a")},
        {"NothingEscaped",
         Script({"karaoke.tag('歌名', 'A&B<C>\"D\"');", "karaoke.TimeOffset = <1>;"}), "a.ksc",
         "A&B",
         Document(
             {"<kmc ti=\"A&B<C>\"D\"\" ar=\"\" al=\"\" by=\"A&B\" offset=\"<1>\" >", "</kmc>"})},
        {"AuthorIsUtf8EvenOutsideGbk", "", "a.ksc", "Zoë 🎤",
         Document({"<kmc ti=\"a\" ar=\"\" al=\"\" by=\"Zoë 🎤\" >", "</kmc>"})},
        {"InvalidGbkBecomesReplacementCharacter", "karaoke.add('1','2','a\x81 b\x81','4');\r\n",
         "a.ksc", "",
         Document({"<kmc ti=\"a\" ar=\"\" al=\"\" by=\"\" >",
                   "  <l t=\"1,2,4\">a\xEF\xBF\xBD b\xEF\xBF\xBD</l>", "</kmc>"})},
        {"TextModeLoneCrLfNulCtrlZ",
         "karaoke.add('1','2','a\rb','4');\nkara\0oke.add('5','6','7','8');\x1A"
         "karaoke.add('9','9','9','9');\r\n"s,
         "a.ksc", "",
         Document({"<kmc ti=\"a\" ar=\"\" al=\"\" by=\"\" >", "  <l t=\"1,2,4\">a\rb</l>",
                   "  <l t=\"5,6,8\">7</l>", "</kmc>"})},
    };
    for (const DocumentCase& c : cases) {
        EXPECT_EQ(LyricConverter(c.author).ConvertText(c.script, c.fileName), c.expected) << c.name;
    }
}

TEST(LyricConverter, WorkedExampleBytesAreExact) {
    // The same document spelled out byte for byte, independent of the test helpers.
    const std::string expected =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        "<kmc ti=\"\xE7\xA4\xBA\xE4\xBE\x8B\" ar=\"\" al=\"\" by=\"\xE4\xBD\x9C\xE8\x80\x85\" "
        "offset=\"200\" >\r\n"
        "  <l t=\"00:01.000,00:03.000,500,800,700\">\xE7\xAC\xAC\xE4\xB8\x80\xE8\xA1\x8C</l>\r\n"
        "  <l t=\"00:03.500,00:05.000,300,300,300\">It's me</l>\r\n"
        "</kmc>\r\n";
    const LyricConverter converter("\xE4\xBD\x9C\xE8\x80\x85");
    EXPECT_EQ(converter.ConvertText(workedExample, "demo.ksc"), expected);
    EXPECT_EQ(Gbk("歌名"), "\xB8\xE8\xC3\xFB");
    EXPECT_EQ(Gbk("歌手"), "\xB8\xE8\xCA\xD6");
}

TEST(LyricConverter, NothingCarriesOverBetweenFiles) {
    const LyricConverter converter("x");
    const std::string first = converter.ConvertText(workedExample, "demo.ksc");
    EXPECT_EQ(converter.ConvertText("", "b.ksc"),
              Document({"<kmc ti=\"b\" ar=\"\" al=\"\" by=\"x\" >", "</kmc>"}));
    EXPECT_EQ(converter.ConvertText(workedExample, "demo.ksc"), first);
}

TEST(LyricConverter, LargeBodyConvertedInPiecesStaysWhole) {
    // More than one conversion piece, with Chinese text on both sides of every cut.
    std::string script;
    std::string expectedBody;
    for (int i = 0; i < 40000; ++i) {
        script += Gbk("karaoke.add('1', '2', '第" + std::to_string(i) + "行歌词', '3');\r\n");
        expectedBody += "  <l t=\"1,2,3\">第" + std::to_string(i) + "行歌词</l>\r\n";
    }
    const LyricConverter converter("");
    const std::string document = converter.ConvertText(script, "a.ksc");
    const std::string head = Document({"<kmc ti=\"a\" ar=\"\" al=\"\" by=\"\" >"});
    ASSERT_GT(script.size(), 1024u * 1024u);
    EXPECT_EQ(document, head + expectedBody + "</kmc>\r\n");
}

} // namespace
} // namespace tolvren
