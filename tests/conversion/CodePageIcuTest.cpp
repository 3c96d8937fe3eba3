// On Linux, where ICU reads legacy code pages, the shared decoders read every byte sequence as
// ICU does: the characters, and the bytes that are not valid, one U+FFFD for each sequence of
// them. Windows reads the same bytes through the same shared decoders.

#include "conversion/CodePage.h"
#include "conversion/LegacyCodePage.h"
#include "conversion/TextDecoders.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

TEST(CodePageIcu, EveryByteSequenceReadsAsIcuReadsIt) {
    std::string all;
    std::string big5Pairs; // without 0x80 and 0xFF, which alone are no characters in our Big5
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            all += {static_cast<char>(lead), static_cast<char>(trail)};
            if (lead != 0x80 && lead != 0xFF && trail != 0x80 && trail != 0xFF) {
                big5Pairs += {static_cast<char>(lead), static_cast<char>(trail)};
            }
        }
    }
    EXPECT_TRUE(IsValidUtf8(ToUtf8(all)));
    EXPECT_EQ(ToUtf8(all), ToUtf8ThroughPlatform(all));
    std::string big5;
    InvalidBytes invalid;
    DoubleByteCodePage::Big5().Decode(big5Pairs, big5, invalid);
    std::string icu;
    EXPECT_EQ(invalid.Total(), DecodeLegacy(kCodePage950, big5Pairs, icu));
    EXPECT_EQ(big5, icu);

    // GB18030's four-byte sequences: every one of the Basic Multilingual Plane, and a stretch of
    // the others, from their start to beyond U+10FFFF.
    std::string sequences;
    const auto add = [&](int b1, int b2, int b3, int b4) {
        sequences += {static_cast<char>(b1), static_cast<char>(b2), static_cast<char>(b3),
                      static_cast<char>(b4), '\n'};
    };
    for (int b1 = 0x81; b1 <= 0x84; ++b1) {
        for (int b2 = 0x30; b2 <= 0x39; ++b2) {
            for (int b3 = 0x81; b3 <= 0xFE; ++b3) {
                for (int b4 = 0x30; b4 <= 0x39; ++b4) {
                    add(b1, b2, b3, b4);
                }
            }
        }
    }
    for (const int b1 : {0x85, 0x8F, 0x90, 0x9A, 0xE3, 0xE4, 0xFE}) {
        for (int b3 = 0x81; b3 <= 0xFE; b3 += 5) {
            add(b1, 0x32, b3, 0x35);
        }
    }
    std::string shared;
    InvalidBytes sharedInvalid;
    DoubleByteCodePage::Gbk().Decode(sequences, shared, sharedInvalid, FourByteSequences::Read);
    std::string gb18030;
    const std::size_t icuInvalid = DecodeLegacy("gb18030", sequences, gb18030);
    EXPECT_EQ(shared, gb18030);
    EXPECT_EQ(sharedInvalid.Total(), icuInvalid);
}

TEST(CodePageIcu, AnyEncodingIcuKnowsMayBeNamed) {
    EXPECT_TRUE(InputEncoding::FromName("big5-hkscs"));
}

} // namespace
} // namespace tolvren
