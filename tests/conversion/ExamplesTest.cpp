// Every worked example under tests/data/examples: a script NAME.ksc, the documents it must give
// (NAME.kmc, NAME.xml, NAME.lrc, NAME.ass, NAME.ttml, NAME.srt; NAME.s2twp.kmc converted by
// --chinese s2twp, and so on), optionally NAME.options (lines "author=…", "encoding=…",
// "shift=-1500", "apply-offset=yes", …) and the warnings a document comes with, as the command
// line prints them without the path (NAME.kmc.warnings and so on), which a check of the script
// gives too. Adding a case is adding files; a file that is none of these fails. CTest runs each
// example as a test of its own named after it (`ctest -R NAME`); the test program run by hand
// checks them all.

#include "batch/Messages.h"
#include "batch/RunState.h"
#include "conversion/FieldUtils.h"
#include "conversion/LyricConverter.h"
#include "support/TestTree.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace tolvren {
namespace {

namespace fs = std::filesystem;
using test::TestTree;

const fs::path kExamples = TOLVREN_TEST_DATA "/examples";
constexpr std::string_view kWarnings = ".warnings";

// The examples' names (the scripts' without ".ksc"), longest first: a file belongs to the longest
// name it starts with, then a dot ("a.b.kmc" is example a's unless a.b.ksc is there).
std::vector<std::string> ExampleNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kExamples)) {
        if (entry.path().extension() == ".ksc") {
            names.push_back(test::TextOf(entry.path().stem()));
        }
    }
    std::ranges::sort(names, std::ranges::greater(), &std::string::size);
    return names;
}

// The example `file` belongs to, or "".
std::string ExampleOf(const std::string& file, const std::vector<std::string>& names) {
    const auto owner = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
        return file.starts_with(name + ".");
    });
    return owner == names.end() ? "" : *owner;
}

// What NAME.options may set, one "key=value" line each, the keys named as the command line's long
// options. A new option is one row of kOptionKeys.
struct ExampleOptions {
    std::string author;
    std::optional<InputEncoding> encoding = InputEncoding::FromName("gbk");
    DocumentOptions document;
};
using OptionSetter = bool (*)(ExampleOptions&, const std::string&);
template <AssOption option>
bool SetAss(ExampleOptions& options, const std::string& value) {
    return !SetAssOption(options.document.ass, option, value);
}
const std::map<std::string, OptionSetter> kOptionKeys = {
    {"ass-rows", &SetAss<AssOption::Rows>},
    {"ass-lead", &SetAss<AssOption::Lead>},
    {"ass-linger", &SetAss<AssOption::Linger>},
    {"ass-size", &SetAss<AssOption::Size>},
    {"ass-style", &SetAss<AssOption::Style>},
    {"ass-no-title",
     [](ExampleOptions& options, const std::string& value) {
         options.document.ass.titleCard = false;
         return value.empty();
     }},
    {"author",
     [](ExampleOptions& options, const std::string& value) {
         options.author = value;
         return true;
     }},
    {"encoding",
     [](ExampleOptions& options, const std::string& value) {
         options.encoding = InputEncoding::FromName(value);
         return options.encoding.has_value();
     }},
    {"shift",
     [](ExampleOptions& options, const std::string& value) {
         options.document.timing.shift = ParseInteger(value).value_or(0);
         return ParseInteger(value).has_value();
     }},
    {"apply-offset",
     [](ExampleOptions& options, const std::string& value) {
         options.document.timing.applyOffset = value == "yes";
         return value == "yes";
     }},
    {"lrc-style",
     [](ExampleOptions& options, const std::string& value) {
         options.document.lrc.style = LrcStyleFromName(value).value_or(LrcStyle::Enhanced);
         return LrcStyleFromName(value).has_value();
     }},
    {"lrc-precision",
     [](ExampleOptions& options, const std::string& value) {
         options.document.lrc.fractionDigits = value == "3" ? 3 : 2;
         return value == "2" || value == "3";
     }},
};

ExampleOptions Options(const fs::path& path) {
    ExampleOptions options;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.find('=');
        const auto key = kOptionKeys.find(line.substr(0, equals));
        if (equals == std::string::npos || key == kOptionKeys.end() ||
            !key->second(options, line.substr(equals + 1))) {
            ADD_FAILURE() << path.filename() << ": '" << line << "' is no option an example takes";
        }
    }
    return options;
}

// The script gives `expected` with its warnings, in memory and on disk, and a check of it says
// the same warnings.
void CheckDocument(const LyricConverter& converter, const fs::path& script,
                   const fs::path& expected, const TestTree& tree) {
    SCOPED_TRACE(expected.filename().string());
    std::vector<ScriptWarning> said;
    const std::string document = converter.ConvertText(TestTree::Read(test::TextOf(script)),
                                                       test::TextOf(script.filename()), &said);
    EXPECT_EQ(document, TestTree::Read(test::TextOf(expected)));
    std::string lines;
    for (const ScriptWarning& warning : said) {
        lines += (warning.line > 0 ? ":" + std::to_string(warning.line) : std::string()) +
                 ": warning: " + DescribeWarning(warning, Language::English) + "\n";
    }
    EXPECT_EQ(lines, TestTree::Read(test::TextOf(expected) + std::string(kWarnings)));
    // A check says exactly what the conversion says, no more.
    EXPECT_EQ(
        converter.CheckText(TestTree::Read(test::TextOf(script)), test::TextOf(script.filename())),
        said);

    // Written to disk, the document is the same to the byte.
    const std::string target = tree.Path(test::TextOf(expected.filename()));
    EXPECT_TRUE(converter.ConvertFile(test::TextOf(script), target).ok());
    EXPECT_EQ(TestTree::Read(target), document);
}

void CheckExample(const std::string& name, const std::vector<std::string>& names) {
    const fs::path script = kExamples / (name + ".ksc");
    ASSERT_TRUE(fs::is_regular_file(script)) << script;
    const ExampleOptions options = Options(kExamples / (name + ".options"));
    ASSERT_TRUE(options.encoding);
    const TestTree tree;
    int documents = 0;
    for (const auto& entry : fs::directory_iterator(kExamples)) {
        const fs::path expected = entry.path();
        const std::string file = test::TextOf(expected.filename());
        if (ExampleOf(file, names) != name) {
            continue;
        }
        // What the file adds to the example: "ksc", "options", "kmc", "s2t.kmc.warnings", …
        std::string part = file.substr(name.size() + 1);
        if (part == "ksc" || part == "options") {
            continue;
        }
        const std::optional<ChineseMode> chinese =
            ChineseModeFromName(std::string_view(part).substr(0, part.find('.')));
        if (chinese) {
            part.erase(0, part.find('.') + 1);
        }
        const bool warnings = part.ends_with(kWarnings);
        const std::string extension =
            part.substr(0, part.size() - (warnings ? kWarnings.size() : 0));
        const std::optional<OutputFormat> format = FormatFromName(extension);
        if (!format) {
            ADD_FAILURE() << file << ": not NAME.ksc, NAME.options, NAME[.MODE].FORMAT[.warnings]";
        } else if (warnings) {
            EXPECT_TRUE(fs::exists(kExamples / file.substr(0, file.size() - kWarnings.size())))
                << file << ": warnings of a document that is not there";
        } else {
            // An example's options are ones a user could give for its format.
            EXPECT_EQ(CheckDocumentOptions(*format, options.document), RequestError::None) << file;
            CheckDocument(LyricConverter(options.author, *format, *options.encoding,
                                         options.document, chinese.value_or(ChineseMode::Off)),
                          script, expected, tree);
            ++documents;
        }
    }
    EXPECT_GT(documents, 0) << name << ".ksc has no document to give";
}

// CTest runs this once per example, naming it in TOLVREN_EXAMPLE; without it, every example.
TEST(Examples, ScriptGivesItsDocumentsAndWarnings) {
    const std::vector<std::string> names = ExampleNames();
    const char* chosen = std::getenv("TOLVREN_EXAMPLE");
    for (const std::string& name : chosen != nullptr ? std::vector<std::string>{chosen} : names) {
        SCOPED_TRACE(name);
        CheckExample(name, names);
    }
}

TEST(Examples, EveryFileBelongsToAScript) {
    const std::vector<std::string> names = ExampleNames();
    EXPECT_GE(names.size(), 20u);
    for (const auto& entry : fs::directory_iterator(kExamples)) {
        EXPECT_NE(ExampleOf(test::TextOf(entry.path().filename()), names), "")
            << entry.path().filename() << " belongs to no NAME.ksc";
    }
}

} // namespace
} // namespace tolvren
