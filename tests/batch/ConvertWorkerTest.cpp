#include "support/WorkerRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvren {
namespace {

using test::kSong;
using test::TestTree;
using test::WorkerRun;
using ::testing::ElementsAre;

TEST(ConvertWorker, ThreeFilesMakeTheWholeSequenceInOrder) {
    WorkerRun w;
    w.AddSongs(3);
    w.frontEnd.openTarget = true;
    w.Start();
    EXPECT_THAT(w.frontEnd.calls,
                ElementsAre("kmc?", "range 0 100", "pos 33", "text 1/3  33% ", "elapsed", "pos 66",
                            "text 2/3  66% ", "elapsed", "pos 100", "text 3/3  100% ", "elapsed",
                            "text 3/3  100% 完成", "start on", "stop off", "open?",
                            "open " + w.run.m_strTargetDir));
    EXPECT_EQ(w.run.m_bRunning, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(TestTree::Exists(w.tree.Path("out/" + std::to_string(1000 + i) + ".kmc")));
    }
}

TEST(ConvertWorker, HundredFilesUseTheDoublePrecisionPercentage) {
    WorkerRun w;
    w.AddSongs(100);
    w.Start();
    const auto texts = w.frontEnd.Texts();
    ASSERT_EQ(texts.size(), 101u);
    EXPECT_EQ(texts[28], "29/100  28% ");
    EXPECT_EQ(texts[56], "57/100  56% ");
    EXPECT_EQ(texts[57], "58/100  57% ");
    EXPECT_EQ(texts[99], "100/100  100% ");
    EXPECT_EQ(texts[100], "100/100  100% 完成");
    const auto& calls = w.frontEnd.calls;
    EXPECT_NE(std::find(calls.begin(), calls.end(), "pos 28"), calls.end());
}

TEST(ConvertWorker, StopFinishesTheCurrentFileOnlyAndDuringTheLastEndsAsCompleted) {
    WorkerRun w;
    w.AddSongs(10);
    w.OnText("3/10  30% ", [&] { w.run.m_bRunning = 0; }); // Stop during the third file
    w.Start();
    EXPECT_THAT(w.frontEnd.Texts(),
                ElementsAre("1/10  10% ", "2/10  20% ", "3/10  30% ", "4/10  30% 停止"));
    EXPECT_TRUE(w.run.m_bStopped);
    EXPECT_FALSE(TestTree::Exists(w.tree.Path("out/1003.kmc")));

    WorkerRun last;
    last.AddSongs(10);
    last.OnText("10/10  100% ", [&] { last.run.m_bRunning = 0; });
    last.Start();
    EXPECT_EQ(last.frontEnd.Texts().back(), "10/10  100% 完成");
    EXPECT_FALSE(last.run.m_bStopped);
}

TEST(ConvertWorker, StopDuringTheScanConvertsNothingButCreatesTheTarget) {
    WorkerRun w;
    w.AddSongs(10);
    w.run.PrepareStart();
    w.run.m_bRunning = 0;
    ConvertWorker(w.run);
    EXPECT_THAT(w.frontEnd.Texts(), ElementsAre("1/10  0% 停止"));
    EXPECT_TRUE(TestTree::Exists(w.run.m_strTargetDir));
    EXPECT_FALSE(TestTree::Exists(w.tree.Path("out/1000.kmc")));
}

TEST(ConvertWorker, NothingFoundCreatesNoTargetButStillOpensIt) {
    WorkerRun w;
    w.tree.Write("src/readme.txt", "no scripts here");
    w.frontEnd.openTarget = true;
    w.Start();
    EXPECT_THAT(w.frontEnd.calls,
                ElementsAre("kmc?", "range 0 100", "text 0/0  0% 完成", "start on", "stop off",
                            "open?", "open " + w.run.m_strTargetDir));
    EXPECT_FALSE(TestTree::Exists(w.run.m_strTargetDir));

    WorkerRun missing; // a missing source folder is a run of nothing too
    missing.Start();
    EXPECT_THAT(missing.frontEnd.Texts(), ElementsAre("0/0  0% 完成"));
    EXPECT_EQ(missing.run.m_nFailed, 0);
}

TEST(ConvertWorker, ExitDuringARunClosesAfterTheCurrentFile) {
    WorkerRun w;
    w.AddSongs(5);
    w.frontEnd.openTarget = true;
    w.OnText("2/5  40% ", [&] { w.run.m_bExitRequested = 1; });
    w.Start();
    const auto& calls = w.frontEnd.calls;
    const std::vector<std::string> tail(calls.end() - 6, calls.end());
    EXPECT_THAT(tail, ElementsAre("text 3/5  40% 停止", "start on", "stop off", "open?",
                                  "open " + w.run.m_strTargetDir, "close"));
}

TEST(ConvertWorker, OutputNamesDropTheLastThreeBytesOfTheName) {
    struct Case {
        std::string source;
        bool kmc;
        std::string target;
    };
    const std::vector<Case> cases = {
        {"Song.ksc", true, "Song.kmc"},   {"SONG.KSC", true, "SONG.kmc"},
        {"a.ksc.bak", true, "a.ksc.kmc"}, {"b.kscx", true, "b.kkmc"},
        {"Song.ksc", false, "Song.xml"},  {".ksc", true, ".kmc"},
        {"x.ksc.", true, "x.kkmc"},
    };
    for (const auto& c : cases) {
        WorkerRun w;
        w.tree.Write("src/" + c.source, kSong);
        w.frontEnd.kmc = c.kmc;
        w.run.m_strTargetDir += "/"; // a target ending in a separator gets no second one
        w.Start();
        EXPECT_TRUE(TestTree::Exists(w.tree.Path("out/" + c.target))) << c.source;
        EXPECT_EQ(w.run.m_nFailed, 0) << c.source;
    }
}

TEST(ConvertWorker, SameNamedSourcesAreReportedAndTheLaterOneWins) {
    WorkerRun w;
    w.tree.Write("src/a/song.ksc", "karaoke.tag('\xB8\xE8\xC3\xFB', 'A');\r\n");
    w.tree.Write("src/song.ksc", "karaoke.tag('\xB8\xE8\xC3\xFB', 'TOP');\r\n");
    w.Start();
    ASSERT_EQ(w.run.m_problems.size(), 1u);
    const RunProblem& p = w.run.m_problems[0];
    EXPECT_EQ(p.kind, RunProblem::Kind::Overwritten);
    EXPECT_EQ(p.path, w.tree.Path("src/song.ksc"));
    EXPECT_EQ(p.otherPath, w.tree.Path("src/a/song.ksc"));
    EXPECT_THAT(TestTree::Read(w.tree.Path("out/song.kmc")), ::testing::HasSubstr("ti=\"TOP\""));
    EXPECT_EQ(w.frontEnd.Texts().back(), "2/2  100% 完成"); // a notice, not a failure
}

TEST(ConvertWorker, KeepTreeMirrorsSubfoldersSoNamesNoLongerCollide) {
    WorkerRun w;
    w.tree.Write("src/a/b/song.ksc", kSong);
    w.tree.Write("src/song.ksc", kSong);
    w.run.m_bKeepTree = true;
    w.Start();
    EXPECT_TRUE(w.run.m_problems.empty());
    EXPECT_TRUE(TestTree::Exists(w.tree.Path("out/a/b/song.kmc")));
    EXPECT_TRUE(TestTree::Exists(w.tree.Path("out/song.kmc")));
}

TEST(ConvertWorker, OneFileAsSourceIsARunOfOne) {
    WorkerRun w;
    w.run.m_strSourceDir = w.tree.Write("elsewhere/one.ksc", kSong);
    w.Start();
    EXPECT_THAT(w.frontEnd.Texts(), ElementsAre("1/1  100% ", "1/1  100% 完成"));
    EXPECT_TRUE(TestTree::Exists(w.tree.Path("out/one.kmc")));
}

TEST(ConvertWorker, TargetInOrInsideTheSourceNeverTouchesASource) {
    for (const std::string target : {"src", "src/kmc"}) {
        SCOPED_TRACE(target);
        WorkerRun w;
        w.AddSongs(2);
        w.run.m_strTargetDir = w.tree.Path(target);
        w.Start();
        w.Start(); // a second run over a folder that now holds its outputs
        EXPECT_EQ(w.frontEnd.Texts().back(), "2/2  100% 完成");
        EXPECT_EQ(TestTree::Read(w.tree.Path("src/1000.ksc")), kSong);
        EXPECT_EQ(TestTree::Read(w.tree.Path("src/1001.ksc")), kSong);
        EXPECT_TRUE(TestTree::Exists(w.tree.Path(target + "/1000.kmc")));
    }
}

} // namespace
} // namespace tolvren
