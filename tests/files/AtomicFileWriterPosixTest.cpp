// What the writer does on POSIX alone: permissions and groups kept, and temporaries that only
// another process, a link or a user's rights can show.

#include "files/WriterCases.h"
#include "support/Child.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tolvren {
namespace {

using test::OnEachKindOfFileSystem;
using test::RunInChild;
using test::TestTree;
using test::WriteDocument;
using ::testing::IsEmpty;

// A group `path` may be given other than its own: for root "nogroup", else one of the user's own.
std::optional<gid_t> AnotherGroup(const std::string& path) {
    struct stat st {};
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    if (::stat(path.c_str(), &st) != 0 ||
        ::getgroups(static_cast<int>(groups.size()), groups.data()) < 0) {
        return std::nullopt;
    }
    if (::geteuid() == 0) {
        groups.push_back(65534);
    }
    for (const gid_t group : groups) {
        if (group != st.st_gid) {
            return group;
        }
    }
    return std::nullopt;
}

TEST(DocumentFile, ReplacesKeepingWhoMayRead) {
    OnEachKindOfFileSystem([](const TestTree& tree, bool) {
        const std::string kept = tree.Write("out/kept.kmc", "old", 0640);
        const std::optional<gid_t> group = AnotherGroup(kept);
        if (group) {
            ASSERT_EQ(::chown(kept.c_str(), static_cast<uid_t>(-1), *group), 0);
        }
        ASSERT_TRUE(WriteDocument(kept).ok());
        struct stat st {};
        ASSERT_EQ(::stat(kept.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(TestTree::Read(kept), "new\r\n");
        if (!group) {
            GTEST_SKIP() << "the group is kept too, but this user has no second group to try it";
        }
        EXPECT_EQ(st.st_gid, *group);
    });
}

// The next run removes a killed writer's temporary; while its process lives, it is held.
TEST(DocumentFile, AKilledWritersTemporaryGoesWithTheNextRunAndNotBefore) {
    const test::NamedTemporariesOnly named;
    const TestTree tree;
    tree.MakeFolder("out");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        AtomicFileWriter document(tree.Path("out/song.kmc"));
        if (document.Open().ok() && (document.Write("half"), document.Finish().ok())) {
            [[maybe_unused]] const ssize_t said = ::write(ready[1], "!", 1);
        }
        ::pause(); // until killed, the temporary waiting for its turn
        ::_exit(0);
    }
    char said = 0;
    ::close(ready[1]);
    const bool written = ::read(ready[0], &said, 1) == 1;
    ::close(ready[0]);
    const FolderHandle folder(tree.Path("out"));
    RemoveStaleTemporaries(folder);
    const std::vector<std::string> held = tree.Names("out");
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ASSERT_TRUE(written);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_TRUE(IsWriterTemporary(held[0])) << held[0];
    EXPECT_EQ(tree.Names("out"), held); // a kill leaves it...
    RemoveStaleTemporaries(folder);
    EXPECT_THAT(tree.Names("out"), IsEmpty()); // ...for the next run to take away
}

TEST(DocumentFile, ATemporaryBehindALinkOrOfAnotherUserOrThatCannotGoStays) {
    const TestTree tree;
    const std::string mine = tree.Write("mine.txt", "a user's own");
    tree.MakeFolder("out");
    tree.Link(mine, "out/.l.kmc.tolvren-tmp-Ab12Cd");
    std::filesystem::create_hard_link(mine, tree.Path("out/.h.kmc.tolvren-tmp-Ab12Cd"));
    ASSERT_TRUE(test::MakeFifo(tree.Path("out/.f.kmc.tolvren-tmp-Ab12Cd")));
    RemoveStaleTemporaries(FolderHandle(tree.Path("out")));
    EXPECT_EQ(tree.Names("out").size(), 3u);
    EXPECT_EQ(TestTree::Read(mine), "a user's own");

    // A folder this user may not change, and a temporary of another user's in one they may.
    const std::string stale = "/.s.kmc.tolvren-tmp-Ab12Cd";
    tree.Write("locked" + stale);
    tree.Write("shared" + stale);
    ::chmod(tree.Root().c_str(), 0755);
    ::chmod(tree.Path("locked").c_str(), 0555);
    ::chmod(tree.Path("shared").c_str(), 0777);
    const bool root = ::geteuid() == 0;
    RunInChild([&](test::ChildChecks& check) {
        if (root && !check.Equal("became nobody", test::BecomeNobody(), true)) {
            return;
        }
        for (const std::string folder : {"locked", "shared"}) {
            if (root || folder == "locked") {
                RemoveStaleTemporaries(FolderHandle(tree.Path(folder)));
                check.Equal(folder, TestTree::Exists(tree.Path(folder + stale)), true);
            }
        }
    });
    ::chmod(tree.Path("locked").c_str(), 0755);
    if (!root) {
        GTEST_SKIP() << "another user's temporary takes root to make";
    }
}

} // namespace
} // namespace tolvren
