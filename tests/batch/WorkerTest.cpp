// The run as the worker carries it out, seen through a front end that records every call.

#include "batch/Messages.h"
#include "files/DirectorySearch.h"
#include "files/WriterCases.h"
#include "support/WorkerRun.h"

#include <chrono>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace tolvren {
namespace {

using test::kSong;
using test::TestTree;
using test::WorkerRun;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ConvertWorker, ShowsEachFileInOrderThenTheEnd) {
    WorkerRun w;
    w.AddSongs(3);
    w.Start();
    EXPECT_THAT(w.frontEnd.calls,
                ElementsAre("scan", "progress 1/3  33% @33", "progress 2/3  66% @66",
                            "progress 3/3  100% @100", "finished 3/3  100% 完成"));
    EXPECT_THAT(w.Documents(), ElementsAre("1000.kmc", "1001.kmc", "1002.kmc"));
    EXPECT_FALSE(w.summary.stopped);
    EXPECT_EQ(w.summary.target, w.request.targetDir); // what a front end shows when asked
}

TEST(ConvertWorker, PercentagesAreTheQuotientTimesAHundredTruncated) {
    WorkerRun w;
    w.AddSongs(100);
    w.Start();
    const auto texts = w.frontEnd.Texts();
    ASSERT_EQ(texts.size(), 101u);
    EXPECT_EQ(texts[28], "29/100  28% ");
    EXPECT_EQ(texts[56], "57/100  56% ");
    EXPECT_EQ(texts[57], "58/100  57% ");
    EXPECT_EQ(texts[100], "100/100  100% 完成");
}

enum class Interruption { Stop, Exit };

TEST(ConvertWorker, StopAndExitEndTheRunAfterTheCurrentFileLeavingOnlyItsDocuments) {
    for (const Interruption how : {Interruption::Stop, Interruption::Exit}) {
        WorkerRun w;
        w.AddSongs(10);
        w.On("progress 3/10  30% @30", [&] {
            how == Interruption::Stop ? w.control.RequestStop() : w.control.RequestExit();
        });
        w.Start();
        EXPECT_EQ(w.frontEnd.Texts().back(), "4/10  30% 停止");
        EXPECT_TRUE(w.summary.stopped);
        EXPECT_THAT(w.Documents(), ElementsAre("1000.kmc", "1001.kmc", "1002.kmc"));
        EXPECT_THAT(w.Leftovers(), IsEmpty());
    }
    WorkerRun last; // a stop during the last file comes too late
    last.AddSongs(10);
    last.On("progress 10/10  100% @100", [&] { last.control.RequestStop(); });
    last.Start();
    EXPECT_EQ(last.frontEnd.Texts().back(), "10/10  100% 完成");
}

TEST(ConvertWorker, StopDuringTheScanWritesNothing) {
    WorkerRun w;
    w.Songs({"pop/a.ksc", "rock/b.ksc"}); // the stop comes after the first folder, src/
    w.On("scan", [&] { w.control.RequestStop(); });
    w.Start();
    EXPECT_EQ(w.frontEnd.Texts().back(), "0/0  0% 停止");
    EXPECT_FALSE(TestTree::Exists(w.request.targetDir));
}

// Temporaries a killed run left (End task, a power cut) go with the next run into their folder;
// those of a run still going into the same folder stay, and that run ends whole.
TEST(ConvertWorker, ARunTakesAwayWhatAKilledRunLeftAndNothingOfOneStillGoing) {
    const test::NamedTemporariesOnly named; // as on a file system without unnamed files
    WorkerRun first;
    first.AddSongs(40);
    first.tree.Write("out/.1000.kmc.tolvren-tmp-Ab12Cd", "left by a killed run");
    first.tree.Write("out/sub/.x.kmc.tolvren-tmp-Ab12Cd", "left by a killed run");
    WorkerRun second;
    second.Songs({"other.ksc", "sub/x.ksc"});
    second.request.targetDir = first.request.targetDir;
    second.request.keepTree = true;
    std::size_t heldMeanwhile = 0;
    first.On("progress 1/40  2% @2", [&] {
        // The files converted ahead wait under their temporaries.
        for (int i = 0; i < 500 && (heldMeanwhile = first.Leftovers().size()) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        second.Start();
    });
    first.Start();
    EXPECT_GT(heldMeanwhile, 0u);
    EXPECT_EQ(first.summary.failed + second.summary.failed, 0);
    EXPECT_EQ(first.Documents().size(), 42u); // 1000.kmc to 1039.kmc, other.kmc, sub
    EXPECT_EQ(TestTree::Read(first.tree.Path("out/1039.kmc")),
              TestTree::Read(first.tree.Path("out/other.kmc")));
    EXPECT_THAT(first.Leftovers(), IsEmpty());
    EXPECT_THAT(first.tree.Names("out/sub"), ElementsAre("x.kmc"));
}

TEST(ConvertWorker, NothingFoundCreatesNoTarget) {
    WorkerRun w;
    w.tree.Write("src/readme.txt", "no scripts here");
    w.Start();
    EXPECT_THAT(w.frontEnd.calls, ElementsAre("scan", "finished 0/0  0% 完成"));
    EXPECT_FALSE(TestTree::Exists(w.request.targetDir));
}

TEST(ConvertWorker, DocumentNamesDropTheLastThreeBytesOfTheName) {
    struct Case {
        std::string source;
        OutputFormat format;
        std::string target;
    };
    for (const Case& c :
         {Case{"Song.ksc", OutputFormat::Kmc, "Song.kmc"},
          Case{"SONG.KSC", OutputFormat::Kmc, "SONG.kmc"},
          Case{"a.ksc.bak", OutputFormat::Kmc, "a.ksc.kmc"},
          Case{"b.kscx", OutputFormat::Kmc, "b.kkmc"}, Case{".ksc", OutputFormat::Kmc, ".kmc"},
          Case{"Song.ksc", OutputFormat::Xml, "Song.xml"},
          Case{"Song.ksc", OutputFormat::Lrc, "Song.lrc"},
          Case{"Song.ksc", OutputFormat::Ass, "Song.ass"}}) {
        WorkerRun w;
        w.tree.Write("src/" + c.source, kSong);
        w.request.format = c.format;
        w.request.targetDir += "/"; // a target ending in a separator works the same
        w.Start();
        EXPECT_TRUE(TestTree::Exists(w.tree.Path("out/" + c.target))) << c.source;
        EXPECT_EQ(w.summary.failed, 0) << c.source;
    }
}

TEST(ConvertWorker, SameNamedSourcesGiveANoticeAndTheLaterOneWinsUnlessTheTreeIsKept) {
    WorkerRun w;
    w.tree.Write("src/a/song.ksc", "karaoke.tag('\xB8\xE8\xC3\xFB', 'A');\r\n");
    w.tree.Write("src/song.ksc", "karaoke.tag('\xB8\xE8\xC3\xFB', 'TOP');\r\n");
    w.Start();
    ASSERT_EQ(w.summary.problems.size(), 3u); // two scripts without lyric lines, one notice
    const RunProblem& notice = w.summary.problems[2];
    EXPECT_EQ(notice.kind, RunProblem::Kind::Overwritten);
    EXPECT_EQ(notice.path, w.tree.Path("src/song.ksc"));
    EXPECT_EQ(notice.otherPath, w.tree.Path("src/a/song.ksc"));
    EXPECT_THAT(TestTree::Read(w.tree.Path("out/song.kmc")), ::testing::HasSubstr("ti=\"TOP\""));
    EXPECT_EQ(w.frontEnd.Texts().back(), "2/2  100% 完成");

    WorkerRun kept;
    kept.tree.Write("src/a/b/song.ksc", kSong);
    kept.tree.Write("src/song.ksc", kSong);
    kept.request.keepTree = true;
    kept.Start();
    EXPECT_THAT(kept.summary.problems, IsEmpty());
    EXPECT_TRUE(TestTree::Exists(kept.tree.Path("out/a/b/song.kmc")));
    EXPECT_TRUE(TestTree::Exists(kept.tree.Path("out/song.kmc")));
}

TEST(ConvertWorker, OneFileAsSourceIsARunOfOne) {
    WorkerRun w;
    w.request.sourceDir = w.tree.Write("elsewhere/one.ksc", kSong);
    w.Start();
    EXPECT_THAT(w.frontEnd.Texts(), ElementsAre("1/1  100% ", "1/1  100% 完成"));
    EXPECT_THAT(w.Documents(), ElementsAre("one.kmc"));
}

TEST(ConvertWorker, RerunsIntoOrInsideTheSourceNeverTouchASource) {
    for (const std::string target : {"src", "src/kmc", "./src/"}) {
        SCOPED_TRACE(target);
        WorkerRun w;
        w.Songs({"1.ksc", "情歌.ksc.bak"}); // a backup gives 情歌.ksc.kmc, a name with ".ksc"
        w.request.targetDir = target;       // as typed, relative to the current folder
        {
            const test::WorkingFolder inside(w.tree.Root());
            w.Start();
            w.Start();
        }
        EXPECT_EQ(w.frontEnd.Texts().back(),
                  target == "src/kmc" ? "2/2  100% 完成" : "3/3  100% 完成（1 个文件失败）");
        EXPECT_EQ(TestTree::Read(w.tree.Path("src/1.ksc")), kSong);
        EXPECT_EQ(TestTree::Read(w.tree.Path("src/情歌.ksc.bak")), kSong);
    }
}

TEST(ConvertWorker, FailuresAndWarningsAreReportedInOrderAndTheRunGoesOn) {
    WorkerRun w;
    w.Songs({"a.ksc", "c.ksc"});
    w.tree.Write("src/b.ksc", "no statements");
    w.tree.MakeFolder("out/a.kmc");
    w.Start();
    EXPECT_THAT(w.frontEnd.calls,
                ElementsAre("scan", "failed " + w.tree.Path("src/a.ksc"), "progress 1/3  33% @33",
                            "warning " + w.tree.Path("src/b.ksc"), "progress 2/3  66% @66",
                            "progress 3/3  100% @100", "finished 3/3  100% 完成（1 个文件失败）"));
    EXPECT_EQ(w.summary.failed, 1);
    EXPECT_EQ(w.summary.warned, 1);
}

TEST(ConvertWorker, ALinkThatLeadsNowhereFailsAndAFifoIsNamedAndSkipped) {
    WorkerRun w;
    w.Songs({"b.ksc"});
    if (!test::MakeFifo(w.tree.Path("src/c.ksc"))) {
        GTEST_SKIP() << "no FIFOs on this platform";
    }
    w.tree.Link(w.tree.Path("unmounted/a.ksc"), "src/a.ksc");
    w.tree.Link(w.tree.Path("unmounted/folder"), "src/folder"); // perhaps a folder: not a script
    w.Start();
    EXPECT_THAT(w.frontEnd.calls,
                ElementsAre("scan", "not a file " + w.tree.Path("src/c.ksc"),
                            "failed " + w.tree.Path("src/a.ksc"), "progress 1/2  50% @50",
                            "progress 2/2  100% @100", "finished 2/2  100% 完成（1 个文件失败）"));
    EXPECT_EQ(w.summary.problems[1].io, IoResult::Failed(IoStep::OpenSource, ENOENT));
    EXPECT_THAT(w.Documents(), ElementsAre("b.kmc"));
}

// An author that keeps KMC documents from being XML is said once, for the run, in each front
// end's words; LRC has no such concern.
TEST(ConvertWorker, AnAuthorThatSpoilsEveryDocumentIsSaidOnce) {
    for (const OutputFormat format : {OutputFormat::Xml, OutputFormat::Lrc}) {
        WorkerRun w;
        w.Songs({"a.ksc", "b.ksc"});
        w.request.author = "A&B";
        w.request.format = format;
        w.Start();
        if (format == OutputFormat::Lrc) {
            EXPECT_TRUE(w.summary.problems.empty());
            continue;
        }
        EXPECT_EQ(w.frontEnd.calls[1], "warning ");
        ASSERT_EQ(w.summary.problems.size(), 1U);
        const RunProblem& author = w.summary.problems[0];
        EXPECT_EQ(DescribeProblemLine(author, Language::English),
                  "warning: '&' in the author: the documents are not well-formed XML");
        EXPECT_EQ(ProblemCell(author, ProblemColumn::Target), w.tree.Path("out"));
        EXPECT_EQ(ProblemCell(author, ProblemColumn::Reason),
                  "作者中有“&”，所有文档因此都不是格式正确的 XML");
        EXPECT_EQ(ProblemCountsText(w.summary), "1 个关于作者的警告。详见“详情…”。");
    }
}

TEST(ConvertWorker, ATargetFolderThatCannotBeCreatedIsReportedOnceForAllFiles) {
    WorkerRun w;
    w.AddSongs(3);
    w.request.targetDir = w.tree.Path("no/parent/out");
    w.Start();
    EXPECT_THAT(w.summary.problems, ::testing::SizeIs(1));
    EXPECT_EQ(w.summary.problems[0].kind, RunProblem::Kind::TargetFolder);
    EXPECT_EQ(w.summary.problems[0].io, IoResult::Failed(IoStep::CreateFolder, ENOENT));
    EXPECT_EQ(w.frontEnd.Texts().back(), "3/3  100% 完成（3 个文件失败）");
    EXPECT_FALSE(TestTree::Exists(w.tree.Path("no")));
}

TEST(ConvertWorker, ASubfolderThatCannotBeMadeFailsItsFilesAndIsNamedOnce) {
    WorkerRun w;
    w.Songs({"sub/a.ksc", "sub/b.ksc", "c.ksc"});
    w.tree.Write("out/sub"); // a file where the folder would go
    w.request.keepTree = true;
    w.Start();
    ASSERT_THAT(w.summary.problems, ::testing::SizeIs(1));
    EXPECT_EQ(w.summary.problems[0].kind, RunProblem::Kind::TargetFolder);
    EXPECT_EQ(w.summary.problems[0].path, w.tree.Path("out/sub"));
    EXPECT_EQ(w.summary.problems[0].io.step, IoStep::CreateFolder);
    EXPECT_EQ(w.frontEnd.Texts().back(), "3/3  100% 完成（2 个文件失败）");
    EXPECT_THAT(w.Documents(), ElementsAre("c.kmc", "sub"));
}

// A check says what the run would: same-named documents, and with a target folder the documents
// it would replace there.
TEST(ConvertWorker, ACheckReadsEverythingAndWritesNothing) {
    for (const bool withTarget : {true, false}) {
        WorkerRun w;
        w.Songs({"a.ksc", "x/a.ksc", "c.ksc"});
        w.tree.Write("src/b.ksc", "");
        w.tree.Write("out/c.kmc", "old");
        w.request.checkOnly = true;
        w.request.targetDir = withTarget ? w.request.targetDir : "";
        w.Start();
        std::vector<std::string> calls = {"scan",
                                          "progress 1/4  25% @25",
                                          "overwritten " + w.tree.Path("src/a.ksc"),
                                          "progress 2/4  50% @50",
                                          "warning " + w.tree.Path("src/b.ksc"),
                                          "progress 3/4  75% @75",
                                          "exists " + w.tree.Path("src/c.ksc"),
                                          "progress 4/4  100% @100",
                                          "finished 4 个文件已检查，1 个有警告，1 个将被覆盖"};
        if (withTarget) {
            calls.back() += "，1 个将被替换"; // the summary counts all it said
        } else {
            calls.erase(calls.begin() + 6);
        }
        EXPECT_EQ(w.frontEnd.calls, calls);
        EXPECT_EQ(w.summary.problems[0].targetPath,
                  withTarget ? w.tree.Path("out/a.kmc") : "a.kmc");
        EXPECT_THAT(w.tree.Names("out"), ElementsAre("c.kmc"));
    }
}

TEST(ValidateRequest, RefusesWhatCannotBeARun) {
    const TestTree tree;
    const bool fifo = test::MakeFifo(tree.Path("fifo"));
    struct Case {
        std::string source, target;
        bool check;
        RequestError expected;
        std::string author = "张三 & <某人> \"x\"";
    };
    for (const Case& c :
         {Case{"", "out", false, RequestError::NoSource},
          Case{tree.Root(), "", false, RequestError::NoTarget},
          Case{tree.Root(), "", true, RequestError::None},
          Case{tree.Path("missing"), "out", false, RequestError::SourceMissing},
          Case{tree.Path("fifo"), "out", false, RequestError::SourceNotAFileOrFolder},
          Case{tree.Write("one.ksc"), "out", false, RequestError::None},
          Case{tree.Root(), tree.Path("one.ksc"), true, RequestError::TargetNotAFolder},
          Case{tree.Root(), "out", false, RequestError::AuthorHasControl, "a\n[00:00.00]b"},
          Case{tree.Root(), "out", false, RequestError::AuthorHasControl, "a\tb"},
          Case{tree.Root(), "out", false, RequestError::AuthorHasControl,
               "a\xC2\x9B"
               "2J"}}) {
        if (c.source == tree.Path("fifo") && !fifo) {
            continue; // no FIFOs on this platform
        }
        RunRequest request;
        request.sourceDir = c.source;
        request.targetDir = c.target;
        request.checkOnly = c.check;
        request.author = c.author;
        EXPECT_EQ(ValidateRequest(request).problem, c.expected) << c.source << c.author;
    }
}

TEST(ValidateRequest, TakesTheDocumentOptionsAFormatHas) {
    const auto options = [](TimingOptions timing, LrcOptions lrc = {}) {
        DocumentOptions document;
        document.timing = timing;
        document.lrc = lrc;
        return document;
    };
    const DocumentOptions plain = options({}, {LrcStyle::Plain, 3});
    struct Case {
        OutputFormat format;
        DocumentOptions options;
        RequestError expected;
    };
    for (const Case& c : {
             Case{OutputFormat::Srt, options({kMaxShift, true}), RequestError::None},
             Case{OutputFormat::Ass, options({-kMaxShift, false}), RequestError::None},
             Case{OutputFormat::Ttml, options({-kMaxShift - 1, false}),
                  RequestError::ShiftOutOfRange},
             Case{OutputFormat::Kmc, options({1, false}), RequestError::TimesKept},
             Case{OutputFormat::Xml, options({0, true}), RequestError::TimesKept},
             Case{OutputFormat::Lrc, plain, RequestError::None},
             Case{OutputFormat::Ttml, plain, RequestError::LrcOptionsWithoutLrc},
             Case{OutputFormat::Lrc, options({}, {LrcStyle::Enhanced, 4}),
                  RequestError::LrcPrecision},
         }) {
        EXPECT_EQ(CheckDocumentOptions(c.format, c.options), c.expected) << ExtensionOf(c.format);
    }
    // What a dialog asks for, keeping every choice, any format takes.
    const DocumentOptions everything = options({-2500, true}, {LrcStyle::Plain, 3});
    for (const FormatEntry& entry : DocumentFormats()) {
        EXPECT_EQ(CheckDocumentOptions(entry.format, OptionsFor(entry.format, everything)),
                  RequestError::None)
            << entry.name;
    }
}

} // namespace
} // namespace tolvren
