// What the bar shows and when it is worth a repaint, whatever paints it.
#include "dialog/BarModel.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

// The percentage and the filled part (of 267 pixels) truncate; a position outside the range fills
// no more than the bar, and an empty range shows nothing.
TEST(BarModel, ThePercentageAndTheFilledPartAreTruncated) {
    for (const auto& [lower, upper, pos, shown] : {std::tuple{0, 100, 29, "28% 77"},
                                                   {0, 100, 50, "50% 133"},
                                                   {0, 100, 57, "56% 152"},
                                                   {0, 100, 150, "150% 267"},
                                                   {0, 100, -5, "-5% 0"},
                                                   {10, 20, 15, "50% 133"},
                                                   {5, 5, 5, " 0"}}) {
        BarModel bar;
        bar.SetRange(lower, upper);
        bar.SetPos(pos, 267);
        EXPECT_EQ(bar.DisplayText() + " " + std::to_string(bar.FilledWidth(267)), shown);
    }
}

// A new position needs a repaint only when the edge moves by a pixel (or after a resize); a
// caption only when it changes, and it hides the percentage until it is "" again.
TEST(BarModel, RepaintsOnlyWhatTheEyeCanSee) {
    BarModel bar; // 50 pixels: 2 positions per pixel
    std::string repaints;
    for (const int pos : {0, 1, 2, 3, 4, 4}) {
        repaints += bar.SetPos(pos, 50) ? 'y' : 'n';
    }
    bar.Resized();
    repaints += bar.SetPos(4, 50) ? 'y' : 'n';
    for (const char* caption : {"", "3/10  30% ", "3/10  30% "}) {
        repaints += bar.SetCaption(caption) ? 'y' : 'n';
    }
    EXPECT_EQ(repaints, "ynynyn"
                        "y"
                        "nyn"); // the first position always paints
    EXPECT_EQ(bar.DisplayText(), "3/10  30% ");
    EXPECT_TRUE(bar.SetCaption(""));
    EXPECT_EQ(bar.DisplayText(), "4%");
}

} // namespace
} // namespace tolvren
