// The Chinese conversions held to OpenCC itself: Debian's opencc command, in one call per mode,
// over every key and value of every dictionary the mode's configuration names (and keys run
// together, where phrases meet), and over every lyric, title and singer of the test corpus (the
// worked examples and the example songs), which must agree wherever the mode keeps a line's units
// and else agree with the mode without regional words.

#include "conversion/ChineseConversion.h"

#include "conversion/ChineseDictionaries.h"
#include "conversion/CodePage.h"
#include "conversion/Script.h"
#include "conversion/TimedLines.h"
#include "support/TestTree.h"

#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace tolvren {
namespace {

namespace fs = std::filesystem;
using test::TestTree;

struct Line {
    std::string text;
    std::string where; ///< a corpus line's script and line; empty for a dictionary's
};

std::string ConfigurationOf(ChineseMode mode) {
    return fmt::format("{}/{}.json", TOLVREN_OPENCC_DATA, ChineseModeName(mode));
}

// Every key and value of the dictionaries OpenCC's configuration of `mode` reads (as the program
// holds them), their keys three at a time, run together, and the values of the dictionaries that
// convert the other way (STPhrases for TSPhrases): text in the script the mode converts from.
void AddDictionaryLines(ChineseMode mode, std::vector<Line>& lines) {
    const std::string configuration = TestTree::Read(ConfigurationOf(mode));
    std::set<std::string> names;
    for (std::size_t end = configuration.find(".ocd2\""); end != std::string::npos;
         end = configuration.find(".ocd2\"", end + 1)) {
        const std::size_t start = configuration.rfind('"', end) + 1;
        names.insert(configuration.substr(start, end - start));
    }
    ASSERT_FALSE(names.empty()) << configuration;
    for (const std::string& name : std::set<std::string>(names)) {
        if (name.starts_with("ST") || name.starts_with("TS")) {
            const std::string_view text =
                ChineseDictionaryText((name.starts_with("ST") ? "TS" : "ST") + name.substr(2));
            for (std::size_t tab = text.find('\t'); tab != std::string_view::npos;
                 tab = text.find('\t', tab + 1)) {
                const std::size_t end = text.find_first_of(" \n", tab);
                lines.push_back({std::string(text.substr(tab + 1, end - tab - 1)), {}});
            }
        }
    }
    for (const std::string& name : names) {
        const std::string_view text = ChineseDictionaryText(name);
        ASSERT_FALSE(text.empty()) << name;
        std::vector<std::string> keys;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            const std::string_view line = text.substr(at, end - at);
            at = end + 1;
            keys.emplace_back(line.substr(0, line.find('\t')));
            const std::string_view values = line.substr(line.find('\t') + 1);
            lines.push_back({std::string(values.substr(0, values.find(' '))), {}});
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            lines.push_back({keys[i], {}});
            if (i % 3 == 0) {
                lines.push_back(
                    {keys[i] + keys[(i + 1) % keys.size()] + keys[(i + 2) % keys.size()], {}});
            }
        }
    }
}

// Every lyric, title and singer of the scripts under `folder`, read as `auto` reads them.
void AddCorpusLines(const fs::path& folder, std::vector<Line>& lines) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".ksc") {
            continue;
        }
        const std::string name = entry.path().filename().string();
        const DecodedScript decoded =
            DecodeScript(TestTree::Read(entry.path().string()), *InputEncoding::FromName("auto"));
        const Script script(decoded.text);
        lines.push_back({script.TitleAsMeant(), name + " title"});
        lines.push_back({script.SingerAsMeant(), name + " singer"});
        script.ForEachLyric([&](const LyricStatement& statement) {
            if (statement.complete) {
                lines.push_back(
                    {std::string(statement.text), fmt::format("{}:{}", name, statement.line)});
            }
        });
    }
}

// What `opencc -c MODE.json` makes of every line, in a call per megabyte: the command converts
// its input a megabyte at a time, cut between characters wherever the megabyte ends.
std::vector<std::string> Opencc(ChineseMode mode, const std::vector<Line>& lines,
                                const TestTree& tree) {
    std::vector<std::string> converted;
    for (std::size_t first = 0; first < lines.size();) {
        std::string input;
        for (; first < lines.size() && input.size() < 900 * 1024; ++first) {
            input.append(lines[first].text).append("\n");
        }
        const std::string in = tree.Write("in.txt", input);
        const std::string out = tree.Path("out.txt");
        const std::string command =
            fmt::format("opencc -c '{}' -i '{}' -o '{}'", ConfigurationOf(mode), in, out);
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream file(out, std::ios::binary | std::ios::ate);
        std::string output(static_cast<std::size_t>(file.tellg()), '\0');
        file.seekg(0).read(output.data(), static_cast<std::streamsize>(output.size()));
        for (std::size_t at = 0; at < output.size();) {
            const std::size_t end = std::min(output.find('\n', at), output.size());
            converted.push_back(output.substr(at, end - at));
            at = end + 1;
        }
    }
    EXPECT_EQ(converted.size(), lines.size());
    converted.resize(lines.size());
    return converted;
}

// A sung line's shape: its units and its ASCII, which its conversion must keep.
std::pair<std::size_t, std::string> ShapeOf(std::string_view text) {
    std::vector<std::string_view> units;
    SplitUnits(text, units);
    std::string ascii;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x80) {
            ascii += c;
        }
    }
    return {units.size(), ascii};
}

class ChineseConversion : public ::testing::TestWithParam<ChineseMode> {};

TEST_P(ChineseConversion, AgreesWithOpenccOnEveryEntryAndEveryLineOfTheCorpus) {
    const ChineseMode mode = GetParam();
    const ChineseConverter& converter = *ChineseConverter::Of(mode);
    std::vector<Line> lines;
    AddDictionaryLines(mode, lines);
    AddCorpusLines(TOLVREN_TEST_DATA "/examples", lines);
    AddCorpusLines(TOLVREN_SOURCE_DIR "/examples", lines);
    const TestTree tree;
    const std::vector<std::string> expected = Opencc(mode, lines, tree);
    const ChineseMode plain = mode == ChineseMode::S2twp   ? ChineseMode::S2tw
                              : mode == ChineseMode::Tw2sp ? ChineseMode::Tw2s
                                                           : mode;
    // The corpus again, without the regional words.
    std::vector<Line> sungLines;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(sungLines),
                 [](const Line& line) { return line.where.find(':') != std::string::npos; });
    const std::vector<std::string> withoutRegionalWords =
        plain == mode ? std::vector<std::string>() : Opencc(plain, sungLines, tree);

    std::size_t corpus = 0;
    std::vector<std::string> fellBack;
    int differences = 0;
    for (std::size_t i = 0; i < lines.size() && differences < 10; ++i) {
        const Line& line = lines[i];
        std::string ours;
        std::string opencc = expected[i];
        const bool sung = line.where.find(':') != std::string::npos;
        if (sung) {
            ++corpus;
            if (converter.ConvertSung(line.text, ours) != mode) {
                fellBack.push_back(line.where + " " + line.text);
            }
            if (ShapeOf(opencc) != ShapeOf(line.text)) {
                opencc = plain == mode ? line.text : withoutRegionalWords[corpus - 1];
            }
        } else {
            converter.Convert(line.text, ours);
        }
        if (ours != opencc) {
            ADD_FAILURE() << line.where << " '" << line.text << "': '" << ours << "', opencc '"
                          << opencc << "'";
            ++differences;
        }
    }
    EXPECT_GT(corpus, 100u);
    // Shown for the record: the lines of the corpus that keep their units only without the
    // regional words.
    std::cout << ChineseModeName(mode) << ": " << lines.size() << " lines agree with opencc ("
              << corpus << " sung lines of the corpus), " << fellBack.size()
              << " converted without regional words\n";
    for (const std::string& line : fellBack) {
        std::cout << "  " << line << "\n";
    }
    EXPECT_EQ(fellBack.empty(), plain == mode);
}

INSTANTIATE_TEST_SUITE_P(EveryMode, ChineseConversion,
                         ::testing::Values(ChineseMode::S2t, ChineseMode::S2tw, ChineseMode::S2twp,
                                           ChineseMode::S2hk, ChineseMode::T2s, ChineseMode::Tw2s,
                                           ChineseMode::Tw2sp, ChineseMode::Hk2s),
                         [](const auto& mode) { return std::string(ChineseModeName(mode.param)); });

TEST(ChineseMode, NamesAreOpenccsInAnyCaseAndNothingElse) {
    for (const ChineseMode mode : kChineseModes) {
        if (mode != ChineseMode::Off) {
            EXPECT_EQ(ChineseModeFromName(ChineseModeName(mode)), mode);
        }
    }
    EXPECT_EQ(ChineseModeFromName("S2TWP"), ChineseMode::S2twp);
    for (const std::string_view other : {"", "off", "s2j", "t2tw", "s2t "}) {
        EXPECT_EQ(ChineseModeFromName(other), std::nullopt) << other;
    }
}

} // namespace
} // namespace tolvren
