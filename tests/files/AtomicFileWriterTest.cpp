// Documents are written where nobody sees them half-done: as unnamed files where the file system
// has them, else under temporary names the scan and users recognise.

#include "files/AtomicFileWriter.h"

#include "support/TestTree.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tolvren {
namespace {

using test::TestTree;

// Runs each case both ways: with unnamed files, and as on a file system without them.
template <typename Case>
void OnBothKindsOfFileSystem(Case check) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed files" : "named temporaries");
        AtomicFileWriter::UseUnnamedFiles(unnamed);
        const TestTree tree;
        tree.MakeFolder("out");
        check(tree, unnamed);
        for (const std::string& name : tree.Names("out")) {
            EXPECT_FALSE(name.starts_with('.')) << "left behind: " << name;
        }
    }
    AtomicFileWriter::UseUnnamedFiles(true);
}

IoResult WriteDocument(const std::string& path, const FileIdentity* source = nullptr,
                       const std::atomic<bool>* cancel = nullptr) {
    AtomicFileWriter writer(path);
    writer.SetCancel(cancel);
    if (IoResult opened = writer.Open(); !opened.ok()) {
        return opened;
    }
    writer.Write("new\r\n");
    return writer.Commit(source);
}

TEST(DocumentFile, AppearsWholeOnlyWhenCommitted) {
    OnBothKindsOfFileSystem([](const TestTree& tree, bool unnamed) {
        {
            AtomicFileWriter writer(tree.Path("out/a.kmc"));
            ASSERT_TRUE(writer.Open().ok());
            writer.Write("line\r\n");
            ASSERT_TRUE(writer.Finish().ok());
            const std::vector<std::string> before = tree.Names("out");
            EXPECT_EQ(before.size(), unnamed ? 0u : 1u);
            for (const std::string& name : before) {
                EXPECT_TRUE(IsWriterTemporary(name)) << name;
            }
            ASSERT_TRUE(writer.Commit().ok());
        }
        EXPECT_EQ(TestTree::Read(tree.Path("out/a.kmc")), "line\r\n");
        {
            AtomicFileWriter dropped(tree.Path("out/b.kmc"));
            ASSERT_TRUE(dropped.Open().ok());
            dropped.Write("never seen");
        }
        EXPECT_EQ(tree.Names("out"), std::vector<std::string>{"a.kmc"});
    });
}

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
    OnBothKindsOfFileSystem([](const TestTree& tree, bool) {
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

TEST(DocumentFile, NeverReplacesAProtectedTarget) {
    OnBothKindsOfFileSystem([](const TestTree& tree, bool) {
        const std::string source = tree.Write("out/self.kmc", "script");
        FileIdentity self;
        ASSERT_TRUE(GetIdentity(source, self));
        const std::atomic<bool> stopped{true};
        struct Refusal {
            std::string path;
            const FileIdentity* source;
            const std::atomic<bool>* cancel;
            IoResult expected;
        };
        for (const Refusal& r :
             {Refusal{tree.Write("out/ro.kmc", "old", 0444), nullptr, nullptr,
                      IoResult::Failed(IoStep::WriteTarget, IoCause::TargetReadOnly)},
              Refusal{tree.MakeFolder("out/dir.kmc"), nullptr, nullptr,
                      IoResult::Failed(IoStep::CreateTarget, EISDIR)},
              Refusal{source, &self, nullptr,
                      IoResult::Failed(IoStep::WriteTarget, IoCause::TargetIsSource)},
              Refusal{tree.Path("out/stopped.kmc"), nullptr, &stopped,
                      IoResult::Failed(IoStep::WriteTarget, IoCause::Cancelled)}}) {
            const auto content = [&] {
                return std::filesystem::is_regular_file(r.path) ? TestTree::Read(r.path) : "";
            };
            const std::string before = content();
            EXPECT_EQ(WriteDocument(r.path, r.source, r.cancel), r.expected) << r.path;
            EXPECT_EQ(content(), before) << r.path;
        }
        EXPECT_FALSE(TestTree::Exists(tree.Path("out/stopped.kmc")));
    });
}

} // namespace
} // namespace tolvren
