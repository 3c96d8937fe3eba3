// The karaoke ASS choices as the command line and the dialogs give them: what is taken, what is
// refused and why, and how a style is kept and drawn.

#include "batch/Messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvren {
namespace {

using ::testing::StartsWith;

TEST(AssOptions, EachChoiceIsTakenOrRefusedWithItsReason) {
    struct Case {
        AssOption option;
        std::string value;
        std::string said; ///< how a refusal starts; empty: taken
    };
    const std::vector<Case> cases = {
        {AssOption::Rows, " 4 ", ""},
        {AssOption::Rows, "0", "'0' is not a number of rows from 1 to 4"},
        {AssOption::Rows, "2.5", "'2.5' is not a number of rows"},
        {AssOption::Lead, "30000", ""},
        {AssOption::Lead, "-1", "'-1' is not a time from 0 to 30000 ms"},
        {AssOption::Linger, "1e3", "'1e3' is not a time"},
        {AssOption::Size, "1280X720", ""},
        {AssOption::Size, "1280x", "'1280x' is not WIDTHxHEIGHT, each from 32 to 8192"},
        {AssOption::Size, "16x16", "'16x16' is not WIDTHxHEIGHT"},
        {AssOption::Style, " fontname = 微软雅黑 , FONTSIZE=72.5,,", ""},
        {AssOption::Style, "Fontsize=abc", "Fontsize=abc: not a number above 0"},
        {AssOption::Style, "Fontsize=1e9", "Fontsize=1e9: not a number above 0, at most 1000000"},
        {AssOption::Style, "Fontsize=72,Outline=-1", "Outline=-1: not a number from 0 to"},
        {AssOption::Style, "Shadow=nan", "Shadow=nan: not a number"},
        {AssOption::Style, "Fontnam=X", "'Fontnam' is no style field (Fontname, Fontsize, "},
        {AssOption::Style, "Default.Fontsize=9", "'Default.Fontsize' is no style field"},
        {AssOption::Style, "Bold", "'Bold' is not FIELD=VALUE"},
        {AssOption::Style, "PrimaryColour=&HGG0000", "PrimaryColour=&HGG0000: not a colour"},
        {AssOption::Style, "BackColour=red", "BackColour=red: not a colour"},
        {AssOption::Style, "Alignment=5", "Alignment=5: not 1 to 3 (at the bottom) or 7 to 9"},
        {AssOption::Style, "MarginV=-1", "MarginV=-1: not a whole number from 0 to 1000000"},
        {AssOption::Style, "Fontname=a\x1b[2Jb", "Fontname=a\\x1b[2Jb: not a font name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        AssOptions options;
        const std::optional<AssOptionError> error = SetAssOption(options, c.option, c.value);
        if (c.said.empty()) {
            EXPECT_FALSE(error);
            EXPECT_NE(options, AssOptions{});
        } else {
            ASSERT_TRUE(error);
            EXPECT_THAT(DescribeAssOptionError(*error, Language::English), StartsWith(c.said));
            EXPECT_EQ(options, AssOptions{}) << "a refused choice changes nothing";
        }
    }
}

TEST(AssOptions, AStyleIsChosenOverTheDefaultsKeptAsTextAndDrawnAsTheDocumentShowsIt) {
    AssOptions options;
    ASSERT_FALSE(SetAssOption(options, AssOption::Style, "primarycolour=&hff8000&,Fontsize=72"));
    ASSERT_FALSE(SetAssOption(options, AssOption::Style, "Outline=2,Bold=0"));
    const std::string kept = FormatAssStyle(options.style);
    EXPECT_EQ(kept, "Fontsize=72,PrimaryColour=&H00FF8000,Bold=0,Outline=2");
    AssOptions restored;
    ASSERT_FALSE(SetAssOption(restored, AssOption::Style, kept));
    EXPECT_EQ(restored, options);

    const AssSampleLook look = AssSampleLookOf(options);
    EXPECT_EQ(look.fontName, kAssDefaultFont);
    EXPECT_EQ(look.fontSize, 72);
    EXPECT_FALSE(look.bold);
    EXPECT_EQ(look.sung.rgb, 0x0080FFu);
    EXPECT_EQ(look.unsung.rgb, 0xFFFFFFu);
    EXPECT_EQ(look.outlineWidth, 2);
    // The defaults scale with the frame.
    ASSERT_FALSE(SetAssOption(restored, AssOption::Size, "1280x720"));
    restored.style = {};
    EXPECT_EQ(AssSampleLookOf(restored).fontSize, 53);
}

} // namespace
} // namespace tolvren
