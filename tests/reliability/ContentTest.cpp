// Scripts no one should write, converted without a crash, a hang or unbounded memory.

#include "conversion/CodePage.h"
#include "conversion/LyricConverter.h"
#include "support/Child.h"
#include "support/TestTree.h"

#include <cstdio>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

namespace tolvren {
namespace {

using test::TestTree;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kBom = "\xEF\xBB\xBF";

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::string Convert(const TestTree& tree, const std::string& name, const std::string& bytes) {
    const std::string source = tree.Write(name, bytes);
    const std::string target = tree.Path(name + ".kmc");
    const auto result = LyricConverter("").ConvertFile(source, target);
    EXPECT_TRUE(result.ok()) << result.reason;
    return TestTree::Read(target);
}

TEST(Content, HostileBytesStillGiveAWellFormedDocument) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> high(0x80, 0xFF);
    std::string invalid = "karaoke.add('1', '2', '";
    for (int i = 0; i < 100000; ++i) {
        invalid += static_cast<char>(high(rng));
    }
    invalid += "', '4');\r\n";
    std::string allInvalid;
    for (int i = 0; i < 100000; ++i) {
        allInvalid += static_cast<char>(high(rng));
        if (i % 80 == 0) {
            allInvalid += "\r\n";
        }
    }
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"invalid GBK in a lyric", invalid},        {"invalid GBK everywhere", allInvalid},
        {"only Ctrl-Z", std::string(1000, '\x1A')}, {"only NUL", std::string(1000, '\0')},
        {"only CR", std::string(1000, '\r')},
    };
    TestTree tree;
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const std::string doc = Convert(tree, "x.ksc", bytes);
        EXPECT_THAT(doc, StartsWith(kBom + "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<kmc "));
        EXPECT_THAT(doc, ::testing::EndsWith("</kmc>\r\n"));
        EXPECT_TRUE(IsValidUtf8(doc.substr(kBom.size())));
    }
}

TEST(Content, Utf8ScriptWithBomIsReadAsGbkAndLosesOnlyItsFirstStatement) {
    TestTree tree;
    const std::string doc =
        Convert(tree, "bom.ksc",
                kBom + "karaoke.tag('歌名', 'X');\r\nkaraoke.add('1', '2', 'ok', '4');\r\n");
    EXPECT_THAT(doc, HasSubstr("<kmc ti=\"bom\" ")); // the title statement hid behind the BOM
    EXPECT_THAT(doc, HasSubstr("  <l t=\"1,2,4\">ok</l>\r\n"));
    EXPECT_TRUE(IsValidUtf8(doc.substr(kBom.size())));
}

TEST(Content, TenMegabyteSingleLineIsCarriedWhole) {
    TestTree tree;
    const std::string text(10 * 1024 * 1024, 'a');
    const std::string doc =
        Convert(tree, "line.ksc", "karaoke.add('1', '2', '" + text + "', '4');");
    EXPECT_THAT(doc, HasSubstr("  <l t=\"1,2,4\">" + text + "</l>\r\n</kmc>\r\n"));
}

TEST(Content, HundredMegabyteScriptConvertsInBoundedMemory) {
    TestTree tree;
    const std::string source = tree.Path("big.ksc");
    {
        std::FILE* out = std::fopen(source.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        const std::string line = "karaoke.add('00:01.000', '00:02.000', '\xC4\xE3\xBA\xC3\xCA\xC0"
                                 "\xBD\xE7', '500,500,500,500');\r\n";
        std::size_t written = 0;
        while (written < 100u * 1024 * 1024) {
            written += std::fwrite(line.data(), 1, line.size(), out);
        }
        std::fclose(out);
    }
    const auto before = test::RunInChild([] { return 0; });
    const auto outcome = test::RunInChild(
        [&] { return LyricConverter("").ConvertFile(source, tree.Path("big.kmc")).ok() ? 0 : 1; },
        300);
    ASSERT_EQ(outcome.exitCode, 0);
    const long usedMb = (outcome.maxRssKb - before.maxRssKb) / 1024;
    RecordProperty("peak_extra_rss_mb", static_cast<int>(usedMb));
    std::printf("100 MB script: peak memory %ld MB above the test process\n", usedMb);
    if (!kSanitized) {
        EXPECT_LT(usedMb, 500) << "memory should stay a small multiple of the file";
    }
}

} // namespace
} // namespace tolvren
