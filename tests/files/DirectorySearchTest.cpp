// The directory search's contract, against the implementation the platform builds.

#include "files/DirectorySearch.h"

#include "support/TestTree.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tolvren {
namespace {

TEST(MatchesWildcard, CaseBlindStarsAndQuestionMarks) {
    struct Case {
        const char* mask;
        const char* name;
        bool match;
    };
    for (const Case& c : {Case{"**.ksc*", "Song.KSC.bak", true}, Case{"**.ksc*", "songksc", false},
                          Case{"*.*", "noextension", true}, Case{"song.*", "songs", false},
                          Case{"?.ksc", ".ksc", false}, Case{"\xc7\xe9*", "\xe7\xc9.ksc", false},
                          Case{"", "a", false}, Case{"*a*b", "xaxxaxb", true},
                          Case{"*a*b", "xaxxaxbx", false}, Case{"[a]", "a", false}}) {
        EXPECT_EQ(MatchesWildcard(c.mask, c.name), c.match) << c.mask << " vs " << c.name;
    }
}

TEST(ListFolder, EntriesSortedWithTheirFolderAndTwoNamesOfOneFileAreOneFile) {
    const test::TestTree tree;
    tree.Write("b.ksc", "hello");
    tree.Write("a.KSC");
    tree.Write("notes.txt");
    tree.MakeFolder("Dir.ksc");
    std::filesystem::create_hard_link(test::FsPath(tree.Path("b.ksc")),
                                      test::FsPath(tree.Path("c.ksc")));

    for (const FileDetails details : {FileDetails::Full, FileDetails::NameAndIdentity}) {
        const FolderListing listing = ListFolder(tree.Root(), "*.ksc", details);
        ASSERT_EQ(listing.files.size(), 3u);
        EXPECT_EQ(listing.files[0].name, "a.KSC");
        EXPECT_EQ(listing.files[1].path, tree.Path("b.ksc"));
        EXPECT_NE(listing.files[0].attributes, 0u);
        // One file under two names is known as one; two files never are.
        EXPECT_EQ(listing.files[1].identity, listing.files[2].identity);
        EXPECT_NE(listing.files[0].identity, listing.files[1].identity);
        EXPECT_EQ(listing.files[1].size, details == FileDetails::Full ? 5 : 0);
        ASSERT_EQ(listing.folders.size(), 1u);
        EXPECT_TRUE(listing.folders[0].IsDirectory());
        EXPECT_EQ(listing.folders[0].identity, StatPath(tree.Path("Dir.ksc")).identity);
        EXPECT_EQ(listing.identity, StatPath(tree.Root()).identity);
    }
    EXPECT_EQ(ListFolder(tree.Path("missing"), "*").error, ENOENT);
}

} // namespace
} // namespace tolvren
