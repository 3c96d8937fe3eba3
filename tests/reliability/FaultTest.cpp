// A run meets a hostile file system: each case must end with the file reported as failed (with a
// reason), the run going on, and nothing else touched.

#include "batch/Messages.h"
#include "conversion/LyricConverter.h"
#include "support/Child.h"
#include "support/WorkerRun.h"

#include <cstdio>
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
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Mode bits do not bind root: runs that need them happen as "nobody" in a child.
void AsOrdinaryUser(const TestTree& tree, const std::function<void(test::ChildChecks&)>& body) {
    ::chmod(tree.Root().c_str(), 0777);
    RunInChild([&](test::ChildChecks& check) {
        if (geteuid() != 0 || check.Equal("became nobody", test::BecomeNobody(), true)) {
            body(check);
        }
    });
}

// The problems as the command line prints them, one a line.
std::string ProblemLines(const RunSummary& summary) {
    std::string lines;
    for (const RunProblem& problem : summary.problems) {
        lines += DescribeProblemLine(problem, Language::English) + "\n";
    }
    return lines;
}

TEST(Faults, UnreadableFilesAndFoldersAreReportedAndTheRestConverted) {
    FaultRun r;
    r.Songs({"a.ksc", "b.ksc", "locked/c.ksc"});
    ::chmod(r.tree.Path("src").c_str(), 0777);
    ::chmod(r.tree.Path("src/a.ksc").c_str(), 0);
    ::chmod(r.tree.Path("src/locked").c_str(), 0);
    AsOrdinaryUser(r.tree, [&](test::ChildChecks& check) {
        r.Start();
        check.Equal("problems", ProblemLines(r.summary),
                    r.tree.Path("src/locked") + ": cannot read folder: Permission denied\n" +
                        r.tree.Path("src/a.ksc") + ": cannot open source: Permission denied\n");
        check.Equal("documents", r.Documents(), std::vector<std::string>{"b.kmc"});
        check.Equal("final text", r.summary.finalText,
                    std::string("2/2  100% 完成（1 个文件失败，1 个文件夹无法读取）"));
    });
}

TEST(Faults, SourceChangedBetweenScanAndConversionFailsOnlyThatFile) {
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> cases = {
        {"vanished", [](const std::string& p) { std::filesystem::remove(p); }},
        {"replaced by a folder",
         [](const std::string& p) {
             std::filesystem::remove(p);
             std::filesystem::create_directory(p);
         }},
        {"replaced by a FIFO", // one that blocked the run would end the test by its timeout
         [](const std::string& p) {
             std::filesystem::remove(p);
             ::mkfifo(p.c_str(), 0644);
         }},
    };
    for (const auto& [name, change] : cases) {
        SCOPED_TRACE(name);
        FaultRun r;
        r.Songs({"a.ksc", "b.ksc", "c.ksc"});
        r.On("scan", [&, change = change] { change(r.tree.Path("src/b.ksc")); });
        r.Start();
        EXPECT_THAT(r.FailedPaths(), ElementsAre(r.tree.Path("src/b.ksc")));
        EXPECT_THAT(r.Documents(), ElementsAre("a.kmc", "c.kmc"));
    }
}

TEST(Faults, TargetThatCannotBeWrittenIsLeftAlone) {
    struct Case {
        const char* name;
        std::function<void(FaultRun&)> prepare;
        std::string kept; ///< the path that must keep its content
    };
    for (const Case& c :
         {Case{"a file where the target folder should be",
               [](FaultRun& r) { r.tree.Write("out", "precious"); }, "out"},
          Case{"read-only target", [](FaultRun& r) { r.tree.Write("out/a.kmc", "old", 0444); },
               "out/a.kmc"},
          Case{"a folder where the target should be",
               [](FaultRun& r) { r.tree.Write("out/a.kmc/keep", "inside"); }, "out/a.kmc/keep"}}) {
        SCOPED_TRACE(c.name);
        FaultRun r;
        r.Songs({"a.ksc", "b.ksc"});
        c.prepare(r);
        const std::string before = TestTree::Read(r.tree.Path(c.kept));
        r.Start();
        EXPECT_GE(r.summary.failed, 1);
        EXPECT_EQ(TestTree::Read(r.tree.Path(c.kept)), before);
        EXPECT_THAT(r.Leftovers(), IsEmpty());
    }
}

TEST(Faults, DiskFullKeepsThePreviousDocumentAndLeavesNoTemporary) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed files" : "named temporaries");
        FaultRun r;
        std::string big = kSong;
        for (int i = 0; i < 2000; ++i) {
            big += "karaoke.add('00:01.000', '00:02.000', 'a long enough lyric line', '5');\r\n";
        }
        r.tree.Write("src/a.ksc", big);
        r.tree.Write("out/a.kmc", "the previous good document");
        RunInChild([&](test::ChildChecks& check) {
            AtomicFileWriter::UseUnnamedFiles(unnamed);
            ::signal(SIGXFSZ, SIG_IGN); // the write past 64 KB fails with EFBIG instead
            const rlimit limit{64 * 1024, 64 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            r.Start();
            check.Equal("problems", ProblemLines(r.summary),
                        r.tree.Path("src/a.ksc") + ": cannot write target: File too large\n");
        });
        EXPECT_EQ(TestTree::Read(r.tree.Path("out/a.kmc")), "the previous good document");
        EXPECT_THAT(r.tree.Names("out"), ElementsAre("a.kmc"));
    }
}

TEST(Faults, OddNamesAndDeepPathsConvertUnderTheirOwnNames) {
    const std::vector<std::string> names = {
        std::string(251, 'n'), "\xC7\xE9\xB8\xE8" /* GBK, not UTF-8 */,
        "it's \"quoted\"",     "two  blanks ",
        "new\nline",           "a;rm -rf x",
        "$(touch pwned)",      "-leading dash",
        "back\\slash:colon"};
    FaultRun r;
    for (const std::string& name : names) {
        r.tree.Write("src/" + name + ".ksc", kSong);
    }
    std::string deep = "src";
    while (deep.size() < 3800) {
        deep += "/" + std::string(200, 'd');
    }
    r.tree.Write(deep + "/deep.ksc", kSong);
    {
        const test::WorkingFolder inside(r.tree.Root()); // where a name run by a shell would act
        r.Start();
    }
    EXPECT_EQ(r.summary.failed, 0);
    for (const std::string& name : names) {
        EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/" + name + ".kmc"))) << name;
    }
    EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/deep.kmc")));
    EXPECT_FALSE(TestTree::Exists(r.tree.Path("pwned")));
}

TEST(Faults, LinksLoopsAndFifosNeverHang) {
    FaultRun r;
    r.Songs({"a.ksc", "sub/b.ksc"});
    std::filesystem::create_directory_symlink(r.tree.Path("src"), r.tree.Path("src/sub/loop"));
    std::filesystem::create_directory_symlink("..", r.tree.Path("src/sub/parent"));
    std::filesystem::create_symlink(r.tree.Path("nowhere.ksc"), r.tree.Path("src/dangling.ksc"));
    ::mkfifo(r.tree.Path("src/fifo.ksc").c_str(), 0644);
    RunInChild(
        [&](test::ChildChecks& check) {
            r.Start();
            check.Equal("failed: the dangling link", r.summary.failed, 1);
            check.Equal("skipped: the FIFO", r.summary.skipped, 1);
        },
        30);
    EXPECT_THAT(r.Documents(), ElementsAre("a.kmc", "b.kmc"));
}

TEST(Faults, HundredMegabyteScriptConvertsInBoundedMemory) {
    const TestTree tree;
    const std::string source = tree.Path("big.ksc");
    {
        std::FILE* out = std::fopen(source.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        const std::string line = "karaoke.add('00:01.000', '00:02.000', '\xC4\xE3\xBA\xC3\xCA\xC0"
                                 "\xBD\xE7', '500,500,500,500');\r\n";
        for (std::size_t written = 0; written < 100u * 1024 * 1024;) {
            written += std::fwrite(line.data(), 1, line.size(), out);
        }
        std::fclose(out);
    }
    const auto before = RunInChild([](test::ChildChecks&) {});
    const auto outcome = RunInChild(
        [&](test::ChildChecks& check) {
            check.Equal("converted",
                        LyricConverter("").ConvertFile(source, tree.Path("big.kmc")).ok(), true);
        },
        300);
    ASSERT_EQ(outcome.exitCode, 0);
    const long usedMb = (outcome.maxRssKb - before.maxRssKb) / 1024;
    std::printf("100 MB script: peak memory %ld MB above the test process\n", usedMb);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_LT(usedMb, 500) << "memory should stay a small multiple of the file";
#endif
}

} // namespace
} // namespace tolvren
