// Every worked example under tests/data/examples: a script NAME.ksc, the document it must give
// (NAME.kmc, NAME.xml, NAME.lrc or NAME.ass), optionally NAME.options (lines "author=…",
// "encoding=…") and the warnings it must give, as the command line prints them without the path
// (NAME.kmc.warnings and so on), which a check of the script gives too. Adding a case is adding
// files.

#include "batch/Messages.h"
#include "conversion/LyricConverter.h"
#include "support/TestTree.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace tolvren {
namespace {

namespace fs = std::filesystem;
using test::TestTree;

std::map<std::string, std::string> Options(const fs::path& path) {
    std::map<std::string, std::string> options{{"author", ""}, {"encoding", "gbk"}};
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.find('=');
        options[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return options;
}

TEST(Examples, EveryScriptGivesItsDocumentAndItsWarnings) {
    const TestTree tree;
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(TOLVREN_TEST_DATA "/examples")) {
        const fs::path expected = entry.path();
        const std::optional<OutputFormat> format =
            FormatFromName(expected.extension().string().substr(1));
        if (!format) {
            continue;
        }
        SCOPED_TRACE(expected.filename().string());
        const fs::path script = fs::path(expected).replace_extension(".ksc");
        auto options = Options(fs::path(expected).replace_extension(".options"));
        const std::optional<InputEncoding> encoding = InputEncoding::FromName(options["encoding"]);
        ASSERT_TRUE(encoding);
        const LyricConverter converter(options["author"], *format, *encoding);

        std::vector<ScriptWarning> warnings;
        const std::string document =
            converter.ConvertText(TestTree::Read(script), script.filename().string(), &warnings);
        EXPECT_EQ(document, TestTree::Read(expected));
        std::string said;
        for (const ScriptWarning& warning : warnings) {
            said += (warning.line > 0 ? ":" + std::to_string(warning.line) : std::string()) +
                    ": warning: " + DescribeWarning(warning, Language::English) + "\n";
        }
        EXPECT_EQ(said, TestTree::Read(expected.string() + ".warnings"));
        // A check says exactly what the conversion says, no more.
        EXPECT_EQ(converter.CheckText(TestTree::Read(script), script.filename().string()),
                  warnings);

        // Written to disk, the document is the same to the byte.
        const std::string target = tree.Path(expected.filename());
        EXPECT_TRUE(converter.ConvertFile(script, target).ok());
        EXPECT_EQ(TestTree::Read(target), document);
        ++cases;
    }
    EXPECT_GE(cases, 20);
}

} // namespace
} // namespace tolvren
