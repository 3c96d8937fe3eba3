#include "files/FileEntry.h"

#include <gtest/gtest.h>
#include <initializer_list>

namespace tolvren {
namespace {

struct Split {
    std::string path;
    std::string drive;
    std::string directory;
    std::string name;
    std::string extension;
    std::string nameExt;
    std::string rebuilt;
};

void CheckWindows(const Split& s) {
    SCOPED_TRACE("[" + s.path + "]");
    FileEntry entry(s.path, PathStyle::Windows);
    EXPECT_EQ(entry.Drive(), s.drive);
    EXPECT_EQ(entry.Directory(), s.directory);
    EXPECT_EQ(entry.Name(), s.name);
    EXPECT_EQ(entry.Extension(), s.extension);
    EXPECT_EQ(entry.GetNameExt(), s.nameExt);
    EXPECT_EQ(entry.GetPath(), s.rebuilt);
    EXPECT_EQ(entry.GetLocation(), s.drive + s.directory);
    EXPECT_STREQ(entry.GetPathText(), s.rebuilt.c_str());
    // A second entry built from the first one's path text (what the worker does) agrees.
    FileEntry again(entry.GetPathText(), PathStyle::Windows);
    EXPECT_EQ(again.GetPath(), s.rebuilt);
}

TEST(FileEntry, WindowsPiecesAndRebuiltTexts) {
    for (const Split& s : std::initializer_list<Split>{
             {R"(D:\songs\a b\x.ksc)", "D:", R"(\songs\a b\)", "x", "ksc", "x.ksc",
              R"(D:\songs\a b\x.ksc)"},
             {R"("D:\songs\a b\x.ksc")", "D:", R"(\songs\a b\)", "x", "ksc", "x.ksc",
              R"(D:\songs\a b\x.ksc)"},
             {R"(D:/songs/sub\x.ksc)", "D:", R"(\songs\sub\)", "x", "ksc", "x.ksc",
              R"(D:\songs\sub\x.ksc)"},
             {"x.tar.ksc", "", "", "x.tar", "ksc", "x.tar.ksc", "x.tar.ksc"},
             {R"(D:\a.b\x)", "D:", R"(\a.b\)", "x", "", "x", R"(D:\a.b\x)"},
             {R"(D:\a\x.)", "D:", R"(\a\)", "x", "", "x", R"(D:\a\x)"},
             {R"(D:\a\x.ksc -q)", "D:", R"(\a\)", "x", "ksc -q", "x.ksc -q", R"(D:\a\x.ksc -q)"},
             // The slash of an argument is a separator like any other.
             {R"(D:\a\x.ksc /q)", "D:", R"(\a\x.ksc \)", "q", "", "q", R"(D:\a\x.ksc \q)"},
             {R"(D:\a\.ksc)", "D:", R"(\a\)", "", "", "", R"(D:\a\)"},
             {R"(D:\a\)", "D:", R"(\a\)", "", "", "", R"(D:\a\)"},
             {R"(songs\x.ksc)", "", R"(songs\)", "x", "ksc", "x.ksc", R"(songs\x.ksc)"},
             {R"(\\srv\share\x.ksc)", "", R"(\\srv\share\)", "x", "ksc", "x.ksc",
              R"(\\srv\share\x.ksc)"},
             {"D:", "D:", "", "", "", "", "D:"},
             {R"("D:\a\x.ksc)", "", R"("D:\a\)", "x", "ksc", "x.ksc", R"("D:\a\x.ksc)"},
             {"", "", "", "", "", "", ""},
             {R"("")", "", "", "", "", "", ""},
             {R"(")", "", "", "", "", "", ""}}) {
        CheckWindows(s);
    }
}

void CheckPosix(const Split& s) {
    SCOPED_TRACE("[" + s.path + "]");
    FileEntry entry(s.path);
    EXPECT_EQ(entry.Drive(), "");
    EXPECT_EQ(entry.Directory(), s.directory);
    EXPECT_EQ(entry.Name(), s.name);
    EXPECT_EQ(entry.Extension(), s.extension);
    EXPECT_EQ(entry.GetNameExt(), s.nameExt);
    EXPECT_EQ(entry.GetPath(), s.path);
    EXPECT_EQ(FileEntry(entry.GetPathText()).GetPath(), s.path);
}

TEST(FileEntry, PosixGivesBackThePathByteForByte) {
    for (const Split& s : std::initializer_list<Split>{
             {"/songs/a b/x.ksc", "", "/songs/a b/", "x", "ksc", "x.ksc", ""},
             {"/a/.ksc", "", "/a/", "", "ksc", ".ksc", ""},
             {"/a/x.ksc.", "", "/a/", "x.ksc", "", "x.ksc.", ""},
             {"/a.b/x", "", "/a.b/", "x", "", "x", ""},
             {"/a/", "", "/a/", "", "", "", ""},
             {"D:\\a\\x.ksc", "", "", "D:\\a\\x", "ksc", "D:\\a\\x.ksc", ""},
             {"\"/a/x.ksc\"", "", "\"/a/", "x", "ksc\"", "x.ksc\"", ""},
             {"rel/..", "", "rel/", ".", "", "..", ""},
             {"x", "", "", "x", "", "x", ""},
             {"", "", "", "", "", "", ""},
             {"/", "", "/", "", "", "", ""},
             // GBK bytes, one of them 0x5C, stay as they are.
             {"/\xc7\xe9\xb8\xe8/\x95\x5c.ksc", "", "/\xc7\xe9\xb8\xe8/", "\x95\x5c", "ksc",
              "\x95\x5c.ksc", ""}}) {
        CheckPosix(s);
    }
}

TEST(FileEntry, NullTextIsEmpty) {
    FileEntry entry(static_cast<const char*>(nullptr));
    EXPECT_EQ(entry.GetPath(), "");
}

TEST(AddTrailingSeparator, Table) {
    struct Case {
        std::string text;
        int forwardSlash;
        std::string result;
    };
    const Case cases[] = {
        {R"(D:\songs)", 0, R"(D:\songs\)"},
        {R"(D:\songs)", 1, "D:\\songs/"},
        {R"(D:\songs\)", 0, R"(D:\songs\)"},
        {R"(D:\songs\)", 7, R"(D:\songs\)"},
        {"D:/songs/", 0, "D:/songs/"},
        {"D:/songs/", 1, "D:/songs/"},
        {"", 0, ""},
        {"", 1, ""},
        {"/home/x", -1, "/home/x/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AddTrailingSeparator(c.text, c.forwardSlash), c.result)
            << c.text << " / " << c.forwardSlash;
    }
}

} // namespace
} // namespace tolvren
