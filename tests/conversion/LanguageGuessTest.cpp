#include "conversion/LanguageGuess.h"

#include <gtest/gtest.h>
#include <vector>

namespace tolvren {
namespace {

TEST(LanguageGuess, NamesWhatTheCharactersAreWrittenIn) {
    struct Case {
        std::vector<std::string_view> texts;
        std::string_view tag;
    };
    for (const Case& c : {
             Case{{}, "und"},
             Case{{"123 ●●●", "  "}, "und"},
             Case{{"我们的爱", "今天"}, "zh-Hans"},
             Case{{"我們的愛", "今天"}, "zh-Hant"},
             Case{{"我的心"}, "zh-Hans"},         // nothing to tell them apart by
             Case{{"我們的愛", "这"}, "zh-Hant"}, // more of one than of the other
             Case{{"さくらが咲いた"}, "ja"},
             Case{{"東京の夜空に星"}, "ja"}, // kana a fifth of the whole
             Case{{"我们的爱是永远的梦想の歌"}, "zh-Hans"},
             Case{{"사랑해요 我"}, "ko"},
             Case{{"I had a dream", "我"}, "en"},
             Case{{"I love you 我爱你"}, "zh-Hans"}, // three words, three characters
             Case{{"Café olé"}, "en"},
         }) {
        LanguageGuess guess;
        for (const std::string_view text : c.texts) {
            guess.Add(text);
        }
        EXPECT_EQ(guess.Tag(), c.tag) << (c.texts.empty() ? "" : c.texts.front());
    }
}

} // namespace
} // namespace tolvren
