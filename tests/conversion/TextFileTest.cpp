#include "conversion/TextFile.h"

#include "support/TestTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tolvren {
namespace {

using namespace std::string_literals;

std::vector<std::string> Lines(std::string bytes) {
    ApplyTextModeInput(bytes);
    std::vector<std::string> lines;
    LineReader reader(bytes);
    std::string_view line;
    while (reader.Next(line)) {
        lines.emplace_back(line);
    }
    return lines;
}

TEST(TextFile, ReadsLinesLikeWindowsTextMode) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},   // LF alone, last line without a line end
        {"a\rb\r\n", {"a\rb"}}, // a lone CR stays in the line
        {"a\r\r\n", {"a\r"}},   // only the CR directly before LF belongs to the end
        {"a\r", {"a\r"}},       // ... also at the very end
        {"\r\n\r\n", {"", ""}}, // empty lines are lines
        {"a\r\n\x1A"
         "b\r\n",
         {"a"}}, // Ctrl-Z ends the input
        {"a\x1A", {"a"}},
        {"\x1A"
         "a",
         {}},
        {"a\0b\r\nc\0"s, {"ab", "c"}}, // NUL bytes dropped, never cutting a line
        {"a\r\0\nb"s, {"a", "b"}},     // ... nor splitting a CR LF pair
        {"\0\0\0"s, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Lines(c.bytes), c.lines) << ::testing::PrintToString(c.bytes);
    }
}

TEST(TextFile, WritesEveryLineFeedAsCrLf) {
    std::string out = "x";
    AppendCrLf("a\nb\r\n\rc\n\n", out);
    EXPECT_EQ(out, "xa\r\nb\r\r\n\rc\r\n\r\n");
}

class TextFileOnDisk : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return tree.Path(name); }
    static std::string Contents(const std::string& path) { return test::TestTree::Read(path); }

    test::TestTree tree;
};

TEST_F(TextFileOnDisk, ReadWholeFileReadsEveryByte) {
    std::string bytes(3 * 1024 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    tree.Write("big", bytes);
    std::string content;
    struct stat info {};
    ASSERT_TRUE(ReadWholeFile(PathOf("big"), content, info).ok());
    EXPECT_EQ(content, bytes);

    // Files that report size 0 but have content are read to their end.
    ASSERT_TRUE(ReadWholeFile("/proc/self/status", content, info).ok());
    EXPECT_NE(content.find("Name:"), std::string::npos);
}

TEST_F(TextFileOnDisk, AtomicWriterReplacesOnlyOnCommit) {
    const std::string target = PathOf("doc.kmc");
    tree.Write("doc.kmc", "old");
    {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.Open().ok());
        writer.Write("\xEF\xBB\xBF");
        writer.WriteText("a\nb\n");
        EXPECT_EQ(Contents(target), "old");
        EXPECT_EQ(tree.Names().size(), 2u);
        ASSERT_TRUE(writer.Commit().ok());
    }
    EXPECT_EQ(Contents(target), "\xEF\xBB\xBF"
                                "a\r\nb\r\n");
    EXPECT_EQ(tree.Names(), std::vector<std::string>{"doc.kmc"});

    {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.Open().ok());
        writer.WriteText("abandoned\n");
    } // never committed
    EXPECT_EQ(Contents(target), "\xEF\xBB\xBF"
                                "a\r\nb\r\n");
    EXPECT_EQ(tree.Names(), std::vector<std::string>{"doc.kmc"});
}

TEST_F(TextFileOnDisk, AtomicWriterHandlesPiecesLargerThanItsBuffer) {
    std::string text;
    for (int i = 0; text.size() < 2 * 1024 * 1024; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    std::string expected;
    AppendCrLf(text, expected);
    AtomicFileWriter writer(PathOf("big.kmc"));
    ASSERT_TRUE(writer.Open().ok());
    writer.WriteText(text);
    writer.Write(std::string(600 * 1024, 'x'));
    ASSERT_TRUE(writer.Commit().ok());
    EXPECT_EQ(Contents(PathOf("big.kmc")), expected + std::string(600 * 1024, 'x'));
}

TEST_F(TextFileOnDisk, AtomicWriterCreatesFilesWithTheUsualPermissions) {
    const mode_t old = umask(022);
    AtomicFileWriter writer(PathOf("mode.kmc"));
    ASSERT_TRUE(writer.Open().ok());
    ASSERT_TRUE(writer.Commit().ok());
    umask(old);
    struct stat info {};
    ASSERT_EQ(stat(PathOf("mode.kmc").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

} // namespace
} // namespace tolvren
