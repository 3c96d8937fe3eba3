#include "files/DirectorySearch.h"

#include "support/TestTree.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

TEST(MatchesWildcard, Table) {
    struct Case {
        const char* mask;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"**.ksc*", ".ksc", true}, // the worker's mask: more names in the scanner test
        {"*.*", "noextension", true},
        {"*.*", ".hidden", true},
        {"*.*", "a.b.c", true},
        {"song.*", "song", true},
        {"song.*", "songs", false},
        {"?.ksc", "a.ksc", true},
        {"?.ksc", "ab.ksc", false},
        {"?.ksc", ".ksc", false},
        {"a?c",
         "a\xc7"
         "c",
         true},
        {"\xc7\xe9*", "\xc7\xe9.ksc", true},
        {"\xc7\xe9*", "\xe7\xc9.ksc", false},
        {"", "a", false},
        {"*", "anything", true},
        {"*a*b", "xaxxaxb", true},
        {"*a*b", "xaxxaxbx", false},
        {"abc", "ABC", true},
        {"[a]", "a", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesWildcard(c.mask, c.name), c.match) << c.mask << " vs " << c.name;
    }
}

TEST(MakeAbsolute, PrefixesTheCurrentFolderOnlyToRelativeTexts) {
    const std::string cwd = MakeAbsolute("");
    ASSERT_FALSE(cwd.empty());
    EXPECT_EQ(cwd.front(), '/');
    EXPECT_EQ(MakeAbsolute("/abs/x"), "/abs/x");
    EXPECT_EQ(MakeAbsolute("rel/../x"), (cwd == "/" ? "/" : cwd + "/") + "rel/../x");
}

TEST(FindEntries, MetadataAndAttributes) {
    const test::TestTree tree;
    const std::string& root = tree.Root();
    tree.Write("b.txt", "hello");
    tree.Write(".h", "", 0444);
    tree.MakeFolder("Dir", 0555);
    tree.Link("b.txt", "link");

    const std::vector<DirectoryEntry> all = FindEntries(root, "*");
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].name, ".h");
    EXPECT_EQ(all[0].attributes, FILE_ATTR_ARCHIVE | FILE_ATTR_HIDDEN | FILE_ATTR_READONLY);
    EXPECT_EQ(all[1].name, "b.txt");
    EXPECT_EQ(all[1].path, root + "/b.txt");
    EXPECT_EQ(all[1].attributes, FILE_ATTR_ARCHIVE);
    EXPECT_EQ(all[1].size, 5);
    EXPECT_GT(all[1].modified, 0);
    EXPECT_EQ(all[2].name, "Dir");
    EXPECT_EQ(all[2].attributes, FILE_ATTR_DIRECTORY | FILE_ATTR_READONLY);
    EXPECT_EQ(all[2].size, 0);
    EXPECT_EQ(all[3].name, "link"); // the link's target: same file, same identity
    EXPECT_EQ(all[3].identity, all[1].identity);
    EXPECT_EQ(all[3].size, 5);

    const std::vector<DirectoryEntry> folders = FindEntries(root + "/", "*", true);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].path, root + "/Dir");
}

} // namespace
} // namespace tolvren
