// Documents are written where nobody sees them half-done: as unnamed files where the file system
// has them, else under temporary names the scan and users recognise.

#include "files/AtomicFileWriter.h"

#include "support/TestTree.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(DocumentFile, ReplacesKeepingWhoMayReadButNeverAProtectedTarget) {
    OnBothKindsOfFileSystem([](const TestTree& tree, bool) {
        const std::string kept = tree.Write("out/kept.kmc", "old", 0640);
        ASSERT_EQ(::chown(kept.c_str(), static_cast<uid_t>(-1), 65534), 0);
        ASSERT_TRUE(WriteDocument(kept).ok());
        struct stat st {};
        ASSERT_EQ(::stat(kept.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(st.st_gid, 65534u);
        EXPECT_EQ(TestTree::Read(kept), "new\r\n");

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
