// The karaoke ASS of the worked examples as a singer sees it: frames that libass draws at chosen
// times, read for where text stands and in which colours. Nothing is compared pixel by pixel:
// fonts change between versions. TOLVREN_ASS_SHOTS=DIR keeps each frame as DIR/NAME-MS.ppm.

#include "support/TestTree.h"

#include <algorithm>
#include <array>
#include <ass/ass.h>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace tolvren {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr std::uint32_t kSung = 0x0078FF; // the default colours, 0xRRGGBB
constexpr std::uint32_t kUnsung = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;   // the countdown's own, RGB(255,0,0)
constexpr std::uint32_t kGreen = 0x00C000; // --ass-style PrimaryColour=&H0000C000

struct Box {
    int left = INT_MAX;
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;
    void Add(const Box& other) {
        left = std::min(left, other.left);
        top = std::min(top, other.top);
        right = std::max(right, other.right);
        bottom = std::max(bottom, other.bottom);
    }
    bool Empty() const { return left > right; }
};

// Text that stands on one row of a frame, and where each of its fill colours is.
struct Row {
    Box box;
    std::map<std::uint32_t, Box> fills;
};

enum class Side { Left, Centre, Right };

Side SideOf(const Box& box) {
    const int middle = (box.left + box.right) / 2;
    if (std::abs(middle - kWidth / 2) < kWidth / 20) {
        return Side::Centre;
    }
    return middle < kWidth / 2 ? Side::Left : Side::Right;
}

// A worked example's document in libass.
class Frames {
public:
    explicit Frames(const std::string& name) : m_name(name) {
        m_pLibrary = ass_library_init();
        ass_set_message_cb(m_pLibrary, &Frames::Message, this);
        m_pRenderer = ass_renderer_init(m_pLibrary);
        ass_set_frame_size(m_pRenderer, kWidth, kHeight);
        ass_set_fonts(m_pRenderer, nullptr, "sans-serif", ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
        std::string document = test::TestTree::Read(TOLVREN_TEST_DATA "/examples/" + name + ".ass");
        m_pTrack = ass_read_memory(m_pLibrary, document.data(), document.size(), nullptr);
    }
    Frames(const Frames&) = delete;
    Frames& operator=(const Frames&) = delete;
    ~Frames() {
        if (m_pTrack != nullptr) {
            ass_free_track(m_pTrack);
        }
        ass_renderer_done(m_pRenderer);
        ass_library_done(m_pLibrary);
    }

    /// The rows of text at `ms`, top to bottom.
    std::vector<Row> At(long long ms) {
        std::vector<Row> rows;
        if (m_pTrack == nullptr) {
            ADD_FAILURE() << m_name << ".ass: libass cannot read it";
            return rows;
        }
        std::vector<std::pair<Box, const ASS_Image*>> images;
        for (const ASS_Image* image = ass_render_frame(m_pRenderer, m_pTrack, ms, nullptr);
             image != nullptr; image = image->next) {
            Box box;
            for (int y = 0; y < image->h; ++y) {
                for (int x = 0; x < image->w; ++x) {
                    if (image->bitmap[y * image->stride + x] > 64) {
                        box.Add({image->dst_x + x, image->dst_y + y, image->dst_x + x,
                                 image->dst_y + y});
                    }
                }
            }
            if (!box.Empty() && (image->color & 0xFF) < 0xC0) { // not (nearly) faded out
                images.emplace_back(box, image);
            }
        }
        // Images whose heights overlap stand on one row.
        std::sort(images.begin(), images.end(),
                  [](const auto& a, const auto& b) { return a.first.top < b.first.top; });
        for (const auto& [box, image] : images) {
            if (rows.empty() || box.top > rows.back().box.bottom) {
                rows.emplace_back();
            }
            rows.back().box.Add(box);
            if (image->type == ASS_Image::IMAGE_TYPE_CHARACTER) {
                rows.back().fills[image->color >> 8].Add(box);
            }
        }
        if (const char* shots = std::getenv("TOLVREN_ASS_SHOTS")) {
            Keep(std::string(shots) + "/" + m_name + "-" + std::to_string(ms) + ".ppm", ms);
        }
        return rows;
    }

    /// Every font libass chose, as it said so.
    const std::string& Fonts() const { return m_strFonts; }

private:
    static void Message(int /*level*/, const char* format, va_list args, void* data) {
        std::array<char, 1024> text{};
        std::vsnprintf(text.data(), text.size(), format, args);
        if (std::string_view(text.data()).starts_with("fontselect")) {
            static_cast<Frames*>(data)->m_strFonts.append(text.data()).append("\n");
        }
    }

    // The frame over a dark canvas, for a look by eye.
    void Keep(const std::string& path, long long ms) {
        std::vector<unsigned char> rgb(std::size_t{kWidth} * kHeight * 3, 0x30);
        for (const ASS_Image* image = ass_render_frame(m_pRenderer, m_pTrack, ms, nullptr);
             image != nullptr; image = image->next) {
            const unsigned opacity = 255 - (image->color & 0xFF);
            for (int y = 0; y < image->h; ++y) {
                for (int x = 0; x < image->w; ++x) {
                    const unsigned a = image->bitmap[y * image->stride + x] * opacity / 255;
                    unsigned char* pixel =
                        &rgb[(std::size_t{kWidth} * (image->dst_y + y) + image->dst_x + x) * 3];
                    for (int c = 0; c < 3; ++c) {
                        const unsigned value = (image->color >> (24 - 8 * c)) & 0xFF;
                        pixel[c] =
                            static_cast<unsigned char>((value * a + pixel[c] * (255 - a)) / 255);
                    }
                }
            }
        }
        std::ofstream out(path, std::ios::binary);
        out << "P6\n" << kWidth << ' ' << kHeight << "\n255\n";
        out.write(reinterpret_cast<const char*>(rgb.data()),
                  static_cast<std::streamsize>(rgb.size()));
    }

    std::string m_name;
    ASS_Library* m_pLibrary = nullptr;
    ASS_Renderer* m_pRenderer = nullptr;
    ASS_Track* m_pTrack = nullptr;
    std::string m_strFonts;
};

// What a singer sees on one row: which side it stands on and its fill colours from left to
// right (a line being sung: the sung colour, then the unsung one, split at one edge).
struct Seen {
    Side side;
    std::vector<std::uint32_t> colours;
};

struct Moment {
    long long ms;
    const char* what;
    std::vector<Seen> rows; ///< top to bottom
};

void Expect(Frames& frames, const std::vector<Moment>& moments) {
    for (const Moment& moment : moments) {
        SCOPED_TRACE(std::to_string(moment.ms) + " ms: " + moment.what);
        const std::vector<Row> rows = frames.At(moment.ms);
        ASSERT_EQ(rows.size(), moment.rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE("row " + std::to_string(i + 1));
            const Row& row = rows[i];
            EXPECT_EQ(SideOf(row.box), moment.rows[i].side);
            EXPECT_EQ(row.fills.size(), moment.rows[i].colours.size());
            const Box* before = nullptr;
            for (const std::uint32_t colour : moment.rows[i].colours) {
                const auto fill = row.fills.find(colour);
                ASSERT_NE(fill, row.fills.end()) << std::hex << "no colour " << colour;
                if (before != nullptr) {
                    EXPECT_LE(before->right, fill->second.left + 2) << "colours overlap";
                }
                before = &fill->second;
            }
        }
    }
}

TEST(AssRender, TwoRowsPlayAsTheScriptLaysThemOut) {
    Frames song("karaoke");
    Expect(song, {
                     {3000,
                      "the title card in the intro: title and singer",
                      {{Side::Centre, {kSung}}, {Side::Centre, {kSung}}}},
                     {7000,
                      "the countdown 3 s before it is sung, all unsung, upper left",
                      {{Side::Left, {kUnsung}}}},
                     {11500,
                      "the countdown swept in its own colour, the next line below it",
                      {{Side::Left, {kRed, kUnsung}}, {Side::Right, {kUnsung}}}},
                     {15000,
                      "the lower line swept, the next one shown above it",
                      {{Side::Left, {kUnsung}}, {Side::Right, {kSung, kUnsung}}}},
                     {24500,
                      "the upper row empty after its linger, before its next line",
                      {{Side::Right, {kSung, kUnsung}}}},
                     {30000, "nothing in the instrumental", {}},
                 });
    const std::vector<Row> both = song.At(11500);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_LT(both[0].box.left, both[1].box.left);
    EXPECT_LT(both[0].box.right, both[1].box.right);
    EXPECT_GT(both[0].box.top, kHeight / 2) << "both rows in the lower half";
    EXPECT_NE(song.Fonts().find("NotoSansCJK-Bold"), std::string::npos)
        << "the default font is not installed (fonts-noto-cjk): " << song.Fonts();
}

TEST(AssRender, OneRowIsCentredAndALineWithoutARowIsShownAboveIt) {
    Frames song("karaoke-one-row");
    Expect(song,
           {
               {3000, "one row, centred", {{Side::Centre, {kSung, kUnsung}}}},
               {4800,
                "an overlapping line on an extra row above",
                {{Side::Centre, {kSung, kUnsung}}, {Side::Centre, {kSung, kUnsung}}}},
               {7500, "the next line, as soon as the row is free", {{Side::Centre, {kUnsung}}}},
           });
}

TEST(AssRender, TheCommandLineOverridesTheScript) {
    Frames song("karaoke-options");
    Expect(
        song,
        {
            {5500,
             "three rows from left to right, in the chosen colour",
             {{Side::Left, {kGreen}}, {Side::Left, {kGreen, kUnsung}}, {Side::Right, {kUnsung}}}},
        });
    const std::vector<Row> rows = song.At(5500);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_LT(rows[0].box.left, rows[1].box.left) << "the rows step to the right";
}

} // namespace
} // namespace tolvren
