// A run meets a hostile file system: each case must end with the file reported as failed (with a
// reason), the run going on, and nothing else touched.

#include "batch/RunState.h"
#include "support/Child.h"
#include "support/RecordingFrontEnd.h"
#include "support/TestTree.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace tolvren {
namespace {

using test::RecordingFrontEnd;
using test::RunInChild;
using test::TestTree;

const std::string kSong = "karaoke.tag('\xB8\xE8\xC3\xFB', 'Song');\r\n"
                          "karaoke.add('00:01.000', '00:02.000', 'la la', '500,500');\r\n";

struct FaultRun {
    TestTree tree;
    RecordingFrontEnd frontEnd;
    RunState run;

    FaultRun() {
        run.m_strSourceDir = tree.Path("src");
        run.m_strTargetDir = tree.Path("out");
        run.m_pFrontEnd = &frontEnd;
    }
    void Songs(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            tree.Write(std::string("src/") + name, kSong);
        }
    }
    void Start() {
        run.PrepareStart();
        ConvertWorker(run);
    }
    std::vector<std::string> FailedPaths() const {
        std::vector<std::string> paths;
        for (const auto& p : run.m_problems) {
            if (p.kind == RunProblem::Kind::Failed) {
                EXPECT_FALSE(p.reason.empty()) << p.path;
                paths.push_back(p.path);
            }
        }
        return paths;
    }
    // Names in the target folder that a document write may have left behind half-way.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(run.m_strTargetDir, ec)) {
            const std::string name = e.path().filename();
            if (name.rfind('.', 0) == 0) {
                names.push_back(name);
            }
        }
        return names;
    }
};

// Acts once, when the worker shows the given progress text (between two files).
void OnText(FaultRun& r, const std::string& text, std::function<void()> act) {
    r.frontEnd.onCall = [&r, text, act](const std::string& call) {
        if (call == "text " + text) {
            act();
        }
    };
}

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
        OnText(r, "1/3  33% ", [&] { c.change(r.tree.Path("src/b.ksc")); });
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
        const auto failed = r.FailedPaths();
        const bool right = failed.size() == 1 && failed[0] == r.tree.Path("src/a.ksc") &&
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
         [](FaultRun& r) {
             r.tree.Write("out/a.kmc", "old document");
             ::chmod(r.tree.Path("out/a.kmc").c_str(), 0444);
         },
         [](FaultRun& r) { EXPECT_EQ(TestTree::Read(r.tree.Path("out/a.kmc")), "old document"); },
         1},
        {"a folder where the target file should be",
         [](FaultRun& r) { r.tree.Write("out/a.kmc/keep", "inside"); },
         [](FaultRun& r) { EXPECT_EQ(TestTree::Read(r.tree.Path("out/a.kmc/keep")), "inside"); },
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
        return r.run.m_nFailed;
    });
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(TestTree::Read(r.tree.Path("out/a.kmc")), "the previous good document");
    EXPECT_THAT(r.Leftovers(), ::testing::IsEmpty());
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
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = r.tree.Path("src/socket.ksc");
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    const auto outcome = RunInChild([&] { return r.Start(), r.run.m_nFailed; }, 30);
    ::close(sock);
    EXPECT_EQ(outcome.signal, 0) << "the run hung or crashed";
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/a.kmc")));
    EXPECT_TRUE(TestTree::Exists(r.tree.Path("out/b.kmc")));
}

} // namespace
} // namespace tolvren
