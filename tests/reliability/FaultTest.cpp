// A run meets a hostile file system: each case must end with the file reported as failed (with a
// reason), the run going on, and nothing else touched.

#include "support/Child.h"
#include "support/WorkerRun.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tolvren {
namespace {

using test::kSong;
using test::RunInChild;
using test::TestTree;
using FaultRun = test::WorkerRun;

TEST(Faults, SourceChangedBetweenScanAndConversionFailsOnlyThatFile) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> change;
    };
    const std::vector<Case> cases = {
        {"vanished", [](const std::string& p) { std::filesystem::remove(p); }},
        {"replaced by a folder",
         [](const std::string& p) {
             std::filesystem::remove(p);
             std::filesystem::create_directory(p);
         }},
        {"replaced by a FIFO",
         [](const std::string& p) {
             std::filesystem::remove(p);
             ::mkfifo(p.c_str(), 0644);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FaultRun r;
        r.Songs({"a.ksc", "b.ksc", "c.ksc"});
        // A FIFO that blocked the run would end this test by the test timeout.
        r.OnText("1/3  33% ", [&] { c.change(r.tree.Path("src/b.ksc")); });
        r.Start();
        EXPECT_THAT(r.FailedPaths(), ::testing::ElementsAre(r.tree.Path("src/b.ksc")));
        EXPECT_EQ(r.frontEnd.Texts().back(), "3/3  100% 完成（1 个文件失败）");
        EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/c.kmc")));
        EXPECT_FALSE(TestTree::Exists(r.tree.Path("out/b.kmc")));
    }
}

TEST(Faults, UnreadableSourceIsReportedAndTheRestConverted) {
    FaultRun r;
    r.Songs({"a.ksc", "b.ksc"});
    ::chmod(r.tree.Path("src/a.ksc").c_str(), 0);
    // Mode bits do not bind root: the run happens as an ordinary user where we are root.
    ::chmod(r.tree.Root().c_str(), 0777);
    ::chmod(r.tree.Path("src").c_str(), 0777);
    const auto outcome = RunInChild([&] {
        if (geteuid() == 0 && !test::BecomeNobody()) {
            return 99;
        }
        r.Start();
        const bool right = r.FailedPaths() == std::vector<std::string>{r.tree.Path("src/a.ksc")} &&
                           r.run.m_problems[0].reason == "cannot open source: Permission denied" &&
                           TestTree::Exists(r.tree.Path("out/b.kmc"));
        return right ? 0 : 1;
    });
    EXPECT_EQ(outcome.exitCode, 0);
}

TEST(Faults, TargetThatCannotBeWrittenIsReportedAndLeftAlone) {
    struct Case {
        const char* name;
        std::function<void(FaultRun&)> prepare;
        std::function<void(FaultRun&)> check;
        int failed;
    };
    const std::vector<Case> cases = {
        {"target folder's parent missing",
         [](FaultRun& r) { r.run.m_strTargetDir = r.tree.Path("no/parent/out"); },
         [](FaultRun& r) { EXPECT_FALSE(TestTree::Exists(r.tree.Path("no"))); }, 2},
        {"a file where the target folder should be",
         [](FaultRun& r) { r.tree.Write("out", "precious"); },
         [](FaultRun& r) { EXPECT_EQ(TestTree::Read(r.tree.Path("out")), "precious"); }, 2},
        {"read-only target file",
         [](FaultRun& r) { r.tree.Write("out/a.kmc", "old document", 0444); },
         [](FaultRun& r) { EXPECT_EQ(TestTree::Read(r.tree.Path("out/a.kmc")), "old document"); },
         1},
        {"a folder where the target file should be",
         [](FaultRun& r) { r.tree.Write("out/a.kmc/keep", "inside"); },
         [](FaultRun& r) {
             EXPECT_EQ(TestTree::Read(r.tree.Path("out/a.kmc/keep")), "inside");
             EXPECT_THAT(r.FailedPaths(), ::testing::ElementsAre(r.tree.Path("src/a.ksc")));
             EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/b.kmc")));
         },
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FaultRun r;
        r.Songs({"a.ksc", "b.ksc"});
        c.prepare(r);
        r.Start();
        EXPECT_EQ(r.run.m_nFailed, c.failed);
        EXPECT_EQ(r.FailedPaths().size(), static_cast<std::size_t>(c.failed));
        EXPECT_EQ(r.frontEnd.Texts().back(),
                  "2/2  100% 完成（" + std::to_string(c.failed) + " 个文件失败）");
        c.check(r);
        EXPECT_THAT(r.Leftovers(), ::testing::IsEmpty());
    }
}

TEST(Faults, DiskFullKeepsThePreviousDocumentAndLeavesNoTemporary) {
    FaultRun r;
    std::string big = "karaoke.tag('\xB8\xE8\xC3\xFB', 'Big');\r\n";
    for (int i = 0; i < 2000; ++i) {
        big += "karaoke.add('00:01.000', '00:02.000', 'a long enough lyric line', '500');\r\n";
    }
    r.tree.Write("src/a.ksc", big);
    r.tree.Write("out/a.kmc", "the previous good document");
    const auto outcome = RunInChild([&] {
        // The next write past 64 KB fails with EFBIG instead of killing us.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        r.Start();
        return r.FailedPaths().size() == 1 &&
                       r.run.m_problems[0].reason == "cannot write target: File too large"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(TestTree::Read(r.tree.Path("out/a.kmc")), "the previous good document");
    EXPECT_EQ(r.tree.Names("out"), std::vector<std::string>{"a.kmc"}); // no temporary
}

TEST(Faults, OddNamesConvertUnderTheirOwnNames) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {std::string(251, 'n') + ".ksc", std::string(251, 'n') + ".kmc"},
        {"\xC7\xE9\xB8\xE8.ksc", "\xC7\xE9\xB8\xE8.kmc"}, // GBK bytes, not UTF-8
        {"it's \"quoted\".ksc", "it's \"quoted\".kmc"},
        {"two  blanks .ksc", "two  blanks .kmc"},
        {"new\nline.ksc", "new\nline.kmc"},
        {"a;rm -rf x.ksc", "a;rm -rf x.kmc"},
        {"$(touch pwned).ksc", "$(touch pwned).kmc"},
        {"-leading dash.ksc", "-leading dash.kmc"},
        {"back\\slash:colon.ksc", "back\\slash:colon.kmc"},
    };
    FaultRun r;
    for (const auto& [source, target] : cases) {
        r.tree.Write("src/" + source, kSong);
    }
    r.Start();
    EXPECT_EQ(r.run.m_nFailed, 0);
    for (const auto& [source, target] : cases) {
        EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/" + target))) << target;
    }
    EXPECT_FALSE(TestTree::Exists("pwned"));
}

TEST(Faults, DeepPathsNearTheSystemLimitWork) {
    FaultRun r;
    std::string relative = "src";
    while (relative.size() < 3800) {
        relative += "/" + std::string(200, 'd');
    }
    r.tree.Write(relative + "/deep.ksc", kSong);
    ASSERT_GT(r.tree.Path(relative + "/deep.ksc").size(), 3800u);
    r.Start();
    EXPECT_EQ(r.run.m_nFailed, 0);
    EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/deep.kmc")));
}

TEST(Faults, LinksLoopsAndSpecialFilesNeverHang) {
    FaultRun r;
    r.Songs({"a.ksc", "sub/b.ksc"});
    std::filesystem::create_directory_symlink(r.tree.Path("src"), r.tree.Path("src/sub/loop"));
    std::filesystem::create_directory_symlink("..", r.tree.Path("src/sub/parent"));
    std::filesystem::create_symlink(r.tree.Path("nowhere.ksc"), r.tree.Path("src/dangling.ksc"));
    ::mkfifo(r.tree.Path("src/fifo.ksc").c_str(), 0644);
    const int sock = r.tree.Socket("src/socket.ksc");

    const auto outcome = RunInChild([&] { return r.Start(), r.run.m_nFailed; }, 30);
    ::close(sock);
    EXPECT_EQ(outcome.signal, 0) << "the run hung or crashed";
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/a.kmc")));
    EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/b.kmc")));
}

} // namespace
} // namespace tolvren
