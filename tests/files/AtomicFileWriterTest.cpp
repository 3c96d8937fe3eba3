// Documents are written where nobody sees them half-done: as unnamed files where the file system
// has them, else under temporary names the scan and users recognise. These hold on every
// platform; AtomicFileWriterPosixTest.cpp has what only POSIX can show.

#include "files/WriterCases.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace tolvren {
namespace {

using test::OnEachKindOfFileSystem;
using test::TestTree;
using test::WriteDocument;

TEST(DocumentFile, AppearsWholeOnlyWhenCommitted) {
    OnEachKindOfFileSystem([](const TestTree& tree, bool unnamed) {
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
        // A name too long to keep whole in its temporary's is cut between two characters.
        std::string song;
        for (int i = 0; i < 70; ++i) {
            song += "歌";
        }
        EXPECT_TRUE(WriteDocument(tree.Path("out/" + song + ".kmc")).ok());
        EXPECT_EQ(TestTree::Read(tree.Path("out/" + song + ".kmc")), "new\r\n");
    });
}

TEST(DocumentFile, NeverReplacesAProtectedTarget) {
    OnEachKindOfFileSystem([](const TestTree& tree, bool) {
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
                return std::filesystem::is_regular_file(test::FsPath(r.path))
                           ? TestTree::Read(r.path)
                           : "";
            };
            const std::string before = content();
            EXPECT_EQ(WriteDocument(r.path, r.source, r.cancel), r.expected) << r.path;
            EXPECT_EQ(content(), before) << r.path;
        }
        EXPECT_FALSE(TestTree::Exists(tree.Path("out/stopped.kmc")));
    });
}

// A run into a folder takes away what a killed run left there, and nothing else: not the
// temporaries of a run still going (one being written, one written and waiting for its turn),
// not a user's files that only look alike.
TEST(DocumentFile, StaleTemporariesGoAndThoseOfARunStillGoingStay) {
    const test::NamedTemporariesOnly named;
    const TestTree tree;
    tree.Write("out/.a.kmc.tolvren-tmp-Ab12Cd", "half a document");
    std::vector<std::string> kept = {".b.kmc.tolvren-tmp-Ab12C",   ".b.kmc.tolvren-tmp-Ab12Cde",
                                     ".b.kmc.tolvren-tmp-Ab-2Cd",  "b.kmc.tolvren-tmp-Ab12Cd",
                                     "..tolvren-tmp-Ab12Cd",       ".b.kmc.tolvren-tmp-Ab12Cd.bak",
                                     ".ro.kmc.tolvren-tmp-Ab12Cd", ".dir.kmc.tolvren-tmp-Ab12Cd"};
    for (const std::string& name : kept) {
        if (name.starts_with(".dir")) {
            tree.MakeFolder("out/" + name);
        } else {
            tree.Write("out/" + name, "a user's own", name.starts_with(".ro") ? 0444 : 0644);
        }
    }
    AtomicFileWriter writing(tree.Path("out/writing.kmc"));
    AtomicFileWriter waiting(tree.Path("out/waiting.kmc"));
    for (AtomicFileWriter* writer : {&writing, &waiting}) {
        ASSERT_TRUE(writer->Open().ok());
        writer->Write("new\r\n");
    }
    ASSERT_TRUE(waiting.Finish().ok());

    RemoveStaleTemporaries(FolderHandle(tree.Path("out")));
    EXPECT_FALSE(TestTree::Exists(tree.Path("out/.a.kmc.tolvren-tmp-Ab12Cd")));
    EXPECT_EQ(tree.Names("out").size(), kept.size() + 2); // the writers' temporaries too

    EXPECT_TRUE(writing.Commit().ok());
    EXPECT_TRUE(waiting.Commit().ok());
    EXPECT_EQ(TestTree::Read(tree.Path("out/writing.kmc")), "new\r\n");
    EXPECT_EQ(TestTree::Read(tree.Path("out/waiting.kmc")), "new\r\n");
    kept.insert(kept.end(), {"waiting.kmc", "writing.kmc"});
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(tree.Names("out"), kept);
}

} // namespace
} // namespace tolvren
