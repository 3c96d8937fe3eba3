// What only POSIX file systems have: FIFOs, permission bits, symbolic links made by anyone.

#include "files/DirectorySearch.h"
#include "support/TestTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tolvren {
namespace {

TEST(ListFolder, FilesAndFoldersWithTheirAttributesAndNothingThatCouldBlock) {
    const test::TestTree tree;
    tree.Write("b.ksc", "hello");
    tree.Write(".h.ksc", "", 0444);
    tree.MakeFolder("Dir.ksc", 0555);
    tree.Link("b.ksc", "link.ksc");
    ::mkfifo(tree.Path("fifo.ksc").c_str(), 0644);

    const FolderListing all = ListFolder(tree.Root(), "*.ksc");
    ASSERT_EQ(all.files.size(), 3u);
    EXPECT_EQ(all.files[0].attributes, FILE_ATTR_ARCHIVE | FILE_ATTR_HIDDEN | FILE_ATTR_READONLY);
    EXPECT_EQ(all.files[1].path, tree.Path("b.ksc"));
    EXPECT_EQ(all.files[1].size, 5);
    EXPECT_EQ(all.files[2].identity, all.files[1].identity); // a link is its target
    ASSERT_EQ(all.others.size(), 1u);
    EXPECT_EQ(all.others[0].path, tree.Path("fifo.ksc"));
    ASSERT_EQ(all.folders.size(), 1u);
    EXPECT_EQ(all.folders[0].attributes, FILE_ATTR_DIRECTORY | FILE_ATTR_READONLY);

    // What a run needs comes from the listing itself: the same files, told apart alike.
    const FolderListing quick = ListFolder(tree.Root(), "*.ksc", FileDetails::NameAndIdentity);
    ASSERT_EQ(quick.files.size(), 3u);
    EXPECT_EQ(quick.files[1].identity, all.files[1].identity);
    EXPECT_EQ(ListFolder(tree.Path("missing"), "*").error, ENOENT);
}

} // namespace
} // namespace tolvren
