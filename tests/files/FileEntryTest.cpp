#include "files/FileEntry.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace tolvren {
namespace {

// Every row of tests/data/file-entries.tsv: a path taken apart in one style, and what each
// piece and the rebuilt texts must be.
TEST(FileEntry, PiecesAndRebuiltTextsOfEveryTableRow) {
    std::ifstream table(TOLVREN_TEST_DATA "/file-entries.tsv");
    int rows = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.starts_with('#')) {
            continue;
        }
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) {
            f.push_back(field);
        }
        f.resize(8);
        SCOPED_TRACE("[" + f[1] + "] " + f[0]);
        const PathStyle style = f[0] == "windows" ? PathStyle::Windows : PathStyle::Posix;
        FileEntry entry(f[1], style);
        EXPECT_EQ(entry.Drive(), f[2]);
        EXPECT_EQ(entry.Directory(), f[3]);
        EXPECT_EQ(entry.Name(), f[4]);
        EXPECT_EQ(entry.Extension(), f[5]);
        EXPECT_EQ(entry.GetNameExt(), f[6]);
        EXPECT_EQ(entry.GetPath(), f[7]);
        EXPECT_EQ(entry.GetLocation(), f[2] + f[3]);
        // A second entry built from the first one's path text agrees with the first.
        EXPECT_EQ(FileEntry(entry.GetPathText(), style).GetPath(), f[7]);
        ++rows;
    }
    EXPECT_GE(rows, 27);
}

TEST(AddTrailingSeparator, OnlyWhereTheLastByteIsNoSeparator) {
    struct Case {
        std::string text;
        int forwardSlash;
        std::string result;
    };
    for (const Case& c :
         {Case{R"(D:\songs)", 0, R"(D:\songs\)"}, Case{R"(D:\songs)", 1, "D:\\songs/"},
          Case{R"(D:\songs\)", 7, R"(D:\songs\)"}, Case{"D:/songs/", 0, "D:/songs/"},
          Case{"", 1, ""}}) {
        EXPECT_EQ(AddTrailingSeparator(c.text, c.forwardSlash), c.result) << c.text;
    }
}

} // namespace
} // namespace tolvren
