// The file-system seam's contract, against the implementation the platform builds.

#include "files/FileSystem.h"

#include "support/TestTree.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

// Every way a user writes a folder (a batch file's "%~dp0..\songs" and "%~dp0\songs", a dropped
// "songs\", a typed "."), relative or absolute, names that folder once made canonical, in the one
// form without a trailing separator; and the system reads it as typed too.
TEST(MakeAbsolute, EveryWayAUserWritesAFolderNamesIt) {
    const test::TestTree tree;
    tree.MakeFolder("x");
    const std::string songs = tree.MakeFolder("songs");
    const FileIdentity expected = StatPath(songs).identity;
    const std::string sep(1, kPathSeparator);
    const test::WorkingFolder inside(tree.Root());
    for (const std::string& form :
         {std::string("songs"), "songs" + sep, "songs" + sep + sep, "." + sep + "songs",
          "x" + sep + ".." + sep + "songs", tree.Root() + sep + "x" + sep + ".." + sep + "songs",
          tree.Root() + sep + sep + "songs", tree.Root() + sep + "." + sep + "songs" + sep}) {
        SCOPED_TRACE(form);
        const std::string canonical = MakeAbsolute(form);
        EXPECT_NE(canonical.back(), kPathSeparator);
        EXPECT_EQ(StatPath(canonical).identity, expected);
        EXPECT_EQ(StatPath(form, Access::Read).identity, expected);
        EXPECT_EQ(StatPath(form, Access::Read).error, 0);
    }
    EXPECT_EQ(StatPath(MakeAbsolute("")).identity, StatPath(tree.Root()).identity);
    // A root keeps its separator: "/", "C:\".
    const std::string root = tree.Root().substr(0, tree.Root().find(kPathSeparator) + 1);
    EXPECT_EQ(MakeAbsolute(root), root);
}

} // namespace
} // namespace tolvren
