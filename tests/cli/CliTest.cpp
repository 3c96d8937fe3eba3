// End-to-end tests of the built tolvren-cli: what a user or a script sees of it.

#include "support/WorkerRun.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tolvren {
namespace {

using test::kSong;
using test::TestTree;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct CliResult {
    int status = -1; ///< the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;

    std::string LastLine() const {
        const std::size_t end = out.find_last_not_of('\n');
        const std::size_t start = out.rfind('\n', end);
        return out.substr(start == std::string::npos ? 0 : start + 1, end - start);
    }
};

// Runs the CLI in the tree's root with `args` and `env` (NAME=value, ahead of the inherited
// variables), stdout into `stdoutPath` (a file of the tree if empty); `whileRunning` gets the
// child before it is waited for.
CliResult RunCli(const TestTree& tree, std::vector<std::string> args,
                 std::vector<std::string> env = {}, const std::string& stdoutPath = {},
                 const std::function<void(pid_t)>& whileRunning = {}) {
    const std::string out = stdoutPath.empty() ? tree.Path(".stdout") : stdoutPath;
    const std::string err = tree.Path(".stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, tree.Root().c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    args.insert(args.begin(), TOLVREN_CLI_PATH);
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    const auto pointers = [](std::vector<std::string>& texts) {
        std::vector<char*> result;
        for (std::string& t : texts) {
            result.push_back(t.data());
        }
        result.push_back(nullptr);
        return result;
    };
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);
    pid_t pid = 0;
    CliResult result;
    const int spawned =
        posix_spawn(&pid, TOLVREN_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return result;
    }
    if (whileRunning) {
        whileRunning(pid);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = stdoutPath.empty() ? TestTree::Read(out) : "";
    result.err = TestTree::Read(err);
    return result;
}

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 20000; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
}

TEST(Cli, ConvertsATreeAndSaysSoOnTheLastLine) {
    const TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    tree.Write("songs/sub/b.ksc", kSong);
    const auto r = RunCli(tree, {tree.Path("songs"), tree.Path("out"), "-a", "我", "--format=XML"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2/2  100% 完成\n");
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(TestTree::Read(tree.Path("out/b.xml")), HasSubstr("by=\"我\""));
}

// A negative shift is the option's value, not an option of its own.
TEST(Cli, ShiftMovesEveryTimeEitherWay) {
    const TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    const auto sooner = RunCli(tree, {"-f", "srt", "--shift", "-1500", tree.Path("songs"), "out"});
    EXPECT_EQ(sooner.status, 0) << sooner.err;
    EXPECT_EQ(sooner.err, tree.Path("songs/a.ksc") +
                              ":2: warning: times moved before 0:00 are written as 0:00\n");
    EXPECT_THAT(TestTree::Read(tree.Path("out/a.srt")),
                HasSubstr("\r\n00:00:00,000 --> 00:00:00,500\r\nla\r\n"));
    EXPECT_EQ(RunCli(tree, {"-f", "ttml", "--shift", "250", tree.Path("songs"), "out"}).status, 0);
    EXPECT_THAT(TestTree::Read(tree.Path("out/a.ttml")),
                HasSubstr("<span begin=\"1.250\" end=\"1.750\">l</span>"));
}

TEST(Cli, FailuresWarningsAndNoticesGoToStderrOneLineEach) {
    const TestTree tree;
    tree.Write("songs/x/a.ksc", kSong);
    tree.Write("songs/a.ksc", kSong);
    tree.Write("songs/b.ksc", kSong);
    tree.Write("songs/c.ksc", "karaoke.add('1', '2', 'x');\r\n");
    tree.Link(tree.Path("unmounted/d.ksc"), "songs/d.ksc");
    ::mkfifo(tree.Path("songs/e.ksc").c_str(), 0644);
    tree.MakeFolder("out/b.kmc");
    const std::string songs = tree.Path("songs/");
    const auto r = RunCli(tree, {songs, tree.Path("out")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LastLine(), "5/5  100% 完成（2 个文件失败）");
    EXPECT_EQ(r.err, songs + "e.ksc: warning: not a regular file; skipped\n" + songs +
                         "a.ksc: note: overwrote " + tree.Path("out/a.kmc") +
                         ", converted earlier from " + songs + "x/a.ksc\n" + songs +
                         "b.ksc: cannot create target: Is a directory\n" + songs +
                         "c.ksc:1: warning: lyric statement not read: it needs karaoke.add(' and "
                         "four quoted fields\n" +
                         songs + "d.ksc: cannot open source: No such file or directory\n");
    const auto quiet = RunCli(tree, {"-q", songs, tree.Path("out")});
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, songs + "b.ksc: cannot create target: Is a directory\n" + songs +
                             "d.ksc: cannot open source: No such file or directory\n");
    const auto noWarnings = RunCli(tree, {"--no-warnings", songs + "c.ksc", tree.Path("out")});
    EXPECT_EQ(noWarnings.status, 0);
    EXPECT_EQ(noWarnings.err, "");
    const auto author = RunCli(tree, {"-a", "A&B", songs + "a.ksc", tree.Path("out")});
    EXPECT_EQ(author.err,
              "tolvren-cli: warning: '&' in the author: the documents are not well-formed XML\n");
}

TEST(Cli, UsageErrorsSayWhatIsWrongOnceAndCreateNothing) {
    const TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    ::mkfifo(tree.Path("fifo").c_str(), 0644);
    const std::string out = tree.Path("out");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "SOURCE is required"},
        {{tree.Path("songs"), ""}, "no TARGET_DIR given"},
        {{"", out}, "no SOURCE given"},
        {{tree.Path("missing"), out}, tree.Path("missing") + ": no such file or folder"},
        {{tree.Path("fifo"), out}, "neither a folder nor a regular file"},
        {{"--format", "txt", tree.Path("songs"), out}, "none of kmc, xml, lrc, ass, ttml, srt"},
        {{"--shift", "500", tree.Path("songs"), out},
         "--shift: KMC documents keep the script's times as they stand"},
        {{"-f", "xml", "--apply-offset", tree.Path("songs"), out}, "--apply-offset: XML documents"},
        {{"-f", "srt", "--shift", "1.5", tree.Path("songs"), out},
         "--shift: '1.5' is no whole number of milliseconds"},
        {{"-f", "srt", "--shift=-86400001", tree.Path("songs"), out}, "more than a day"},
        {{"-f", "ttml", "--lrc-style", "plain", tree.Path("songs"), out},
         "--lrc-style: for LRC documents only (-f lrc)"},
        {{"-f", "lrc", "--lrc-style", "fancy", tree.Path("songs"), out}, "neither enhanced nor"},
        {{"-f", "lrc", "--lrc-precision", "4", tree.Path("songs"), out}, "4 is neither 2 nor 3"},
        {{"-e", "klingon", tree.Path("songs"), out}, "unknown encoding 'klingon'"},
        {{"--chinese", "s2x", tree.Path("songs"), out},
         "--chinese: 's2x' is none of s2t, s2tw, s2twp, s2hk, t2s, tw2s, tw2sp, hk2s"},
        {{"--no-such-option", tree.Path("songs"), out}, "--no-such-option"},
        {{"--bogus"}, "not expected: --bogus"},
        {{tree.Path("songs"), out, "third"}, "not expected: third"},
        {{"--check", tree.Path("songs/a.ksc"), tree.Path("songs/a.ksc")}, "a.ksc: not a folder"},
        {{"-a", "Zhang\n[00:00.00]INJECTED", tree.Path("songs"), out},
         "--author: control characters are not allowed: 'Zhang\\n[00:00.00]INJECTED'"},
        {{"-f", "ass", "--ass-rows", "0", tree.Path("songs"), out},
         "--ass-rows: '0' is not a number of rows from 1 to 4"},
        {{"-f", "ass", "--ass-style", "Fontsize=abc", tree.Path("songs"), out},
         "--ass-style: Fontsize=abc: not a number above 0"},
        {{"--ass-no-title", tree.Path("songs"), out}, "--ass-no-title: for ASS documents only"},
    };
    for (const auto& [args, message] : cases) {
        const auto r = RunCli(tree, args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_THAT(r.err, AllOf(HasSubstr(message), Not(HasSubstr("Usage")),
                                 EndsWith("\nTry 'tolvren-cli --help' for more information.\n")));
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(TestTree::Exists(out)) << message;
    }
}

// A name can hold anything but '/' and NUL. Only names with control bytes change, in every line
// that names them; the documents keep their names' bytes.
TEST(Cli, ControlBytesInNamesAreEscapedSoThatNoNameWritesIntoTheTerminal) {
    const TestTree tree;
    const std::string name = "a\x1b]0;T\a\x1b[2J\xc2\x9b\\ b";
    const std::string shown = "a\\x1b]0;T\\a\\x1b[2J\\xc2\\x9b\\\\ b";
    tree.Write("songs/sub/" + name + ".ksc", kSong);
    tree.Write("songs/" + name + ".ksc", "karaoke.add('1', '2', 'x');\r\n");
    const auto r = RunCli(tree, {"-f", "lrc", tree.Path("songs"), tree.Path("out")});
    EXPECT_EQ(r.err, tree.Path("songs/" + shown) +
                         ".ksc:1: warning: lyric statement not read: it needs karaoke.add(' and "
                         "four quoted fields\n" +
                         tree.Path("songs/" + shown) + ".ksc: note: overwrote " +
                         tree.Path("out/" + shown) + ".lrc, converted earlier from " +
                         tree.Path("songs/sub/" + shown) + ".ksc\n");
    // The title from the name, on its one line.
    EXPECT_EQ(TestTree::Read(tree.Path("out/" + name + ".lrc")),
              "\xEF\xBB\xBF[ti:a ]0;T  [2J \\ b]\n");
}

TEST(Cli, HelpAndVersionGoToStdoutAndEndInANewline) {
    const TestTree tree;
    const auto help = RunCli(tree, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, AllOf(HasSubstr("--encoding"), HasSubstr("--check"), HasSubstr("lrc"),
                                EndsWith("\n")));
    const auto version = RunCli(tree, {"-V"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tolvren-cli " TOLVREN_VERSION "\n");
}

TEST(Cli, OpenHandsTheFolderOverAsOneArgumentAndSaysWhenItCannot) {
    const TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    tree.Write("bin/xdg-open",
               "#!/bin/sh\nprintf '%s' \"$#\" > \"$0.count\"\nprintf '%s' \"$1\" > \"$0.arg\"\n"
               "echo 'opener chatter'; exit 3\n",
               0755);
    const std::string path = "PATH=" + tree.Path("bin") + ":" + std::getenv("PATH");
    const std::string target = tree.Path("out $(touch pwned); \"q\" 'x' `touch pwned2` -n");
    const auto r = RunCli(tree, {"--open", tree.Path("songs"), target}, {path, "DISPLAY=:99"});
    EXPECT_EQ(TestTree::Read(tree.Path("bin/xdg-open.count")), "1");
    EXPECT_EQ(TestTree::Read(tree.Path("bin/xdg-open.arg")), target);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1/1  100% 完成\n"); // and not a word of the opener's
    EXPECT_EQ(r.err, target + ": cannot open folder: xdg-open failed with exit status 3\n");
    EXPECT_THAT(tree.Names(), Not(Contains(StartsWith("pwned"))));

    const auto headless = RunCli(tree, {"-q", "--open", tree.Path("songs"), target},
                                 {path, "DISPLAY=", "WAYLAND_DISPLAY="});
    EXPECT_EQ(headless.status, 1);
    EXPECT_EQ(headless.err, target + ": cannot open folder: no display\n");
}

TEST(Cli, StopSignalsEndTheRunAfterTheCurrentFileAndAKillLeavesNoHalfDocument) {
    const TestTree tree;
    for (int i = 0; i < 4000; ++i) {
        tree.Write("songs/" + std::to_string(i) + ".ksc", kSong);
    }
    for (const int signal : {SIGINT, SIGTERM}) {
        const std::string out = tree.Path("out" + std::to_string(signal));
        const auto r = RunCli(tree, {tree.Path("songs"), out}, {}, "", [&](pid_t pid) {
            WaitFor([&] { return TestTree::Exists(out + "/0.kmc"); });
            kill(pid, signal);
        });
        ASSERT_EQ(r.status, 128 + signal) << r.out;
        EXPECT_THAT(r.LastLine(), EndsWith("停止"));
        // "N/4000  P% 停止": N - 1 documents, every one complete, nothing else.
        const std::vector<std::string> names = tree.Names("out" + std::to_string(signal));
        EXPECT_EQ(static_cast<int>(names.size()), std::stoi(r.LastLine()) - 1);
        for (const std::string& name : names) {
            EXPECT_EQ(TestTree::Read(out + "/" + name), TestTree::Read(out + "/0.kmc")) << name;
        }
    }

    {
        std::string huge = kSong;
        while (huge.size() < 128u * 1024 * 1024) {
            huge += huge;
        }
        tree.Write("huge/song.ksc", huge);
    }
    const auto killed =
        RunCli(tree, {tree.Path("huge"), tree.Path("killed")}, {}, "", [&](pid_t pid) {
            WaitFor([&] { return TestTree::Exists(tree.Path("killed")); });
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            kill(pid, SIGKILL);
        });
    EXPECT_EQ(killed.status, 128 + SIGKILL);
    EXPECT_THAT(tree.Names("killed"), ::testing::IsEmpty());
}

TEST(Cli, AStatusThatCannotBeWrittenIsAnError) {
    const TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    const auto r = RunCli(tree, {tree.Path("songs"), tree.Path("out")}, {}, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tolvren-cli: write error: No space left on device\n");
}

TEST(Cli, CheckReportsWithoutWritingAnything) {
    const TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    const auto clean = RunCli(tree, {"--check", tree.Path("songs")});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "1 个文件已检查，0 个有警告\n");
    // A rerun into a library that holds the documents: notes, counted, and nothing failed.
    tree.Write("library/a.kmc", "old");
    const auto rerun = RunCli(tree, {"--check", tree.Path("songs"), tree.Path("library")});
    EXPECT_EQ(rerun.status, 0);
    EXPECT_EQ(rerun.out, "1 个文件已检查，0 个有警告，1 个将被替换\n");
    tree.Write("songs/b.ksc", "\xEF\xBB\xBFkaraoke.add('0:01', '0:02', '[a][b]', '5');\r\n");
    const auto warned =
        RunCli(tree, {"--check", "-f", "lrc", tree.Path("songs"), tree.Path("out")});
    EXPECT_EQ(warned.status, 1);
    EXPECT_EQ(warned.err, tree.Path("songs/b.ksc") +
                              ":1: warning: 1 duration for 2 units; written without word timing\n");
    EXPECT_EQ(warned.LastLine(), "2 个文件已检查，1 个有警告");
    EXPECT_FALSE(TestTree::Exists(tree.Path("out")));
}

TEST(Cli, ChineseConversionSaysWhichLinesKeepTheirTimingOnlyWithoutRegionalWords) {
    const TestTree tree;
    std::string warnings;
    for (const std::string name : {"a", "b", "c"}) { // converted side by side
        tree.Write("songs/" + name + ".ksc",
                   "\xEF\xBB\xBFkaraoke.add('0:01', '0:02', '内存', '5,5');\r\n"
                   "karaoke.add('0:03', '0:04', '软件', '5,5');\r\n");
        warnings += tree.Path("songs/" + name + ".ksc") +
                    ":1: warning: converted by s2tw without regional words: they would change "
                    "the line's sung units\n";
    }
    const auto checked = RunCli(tree, {"--check", "--chinese", "S2TWP", tree.Path("songs")});
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(checked.err, warnings);
    const auto r = RunCli(tree, {"--chinese=s2twp", tree.Path("songs"), tree.Path("out")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, warnings);
    EXPECT_THAT(TestTree::Read(tree.Path("out/c.kmc")),
                AllOf(HasSubstr(">內存</l>"), HasSubstr(">軟體</l>")));
}

TEST(Cli, TextsTravelInTheTerminalsEncoding) {
    const TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    const std::string locales = tree.MakeFolder("locales");
    ASSERT_EQ(std::system(("localedef -i zh_CN -f GBK " + locales + "/zh_CN.GBK").c_str()), 0);
    const std::vector<std::string> gbk = {"LOCPATH=" + locales, "LC_ALL=zh_CN.GBK"};
    const auto r =
        RunCli(tree, {"-a", "\xD5\xC5\xC8\xFD", tree.Path("songs"), tree.Path("out")}, gbk);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1/1  100% \xCD\xEA\xB3\xC9\n"); // 完成 in GBK
    EXPECT_THAT(TestTree::Read(tree.Path("out/a.kmc")), HasSubstr("by=\"张三\""));
    const auto bad = RunCli(tree, {"-a", "\xD5", tree.Path("songs"), tree.Path("out")}, gbk);
    EXPECT_EQ(bad.status, 2);
    // The ASS choices reach the document, a font named in the terminal's encoding too.
    const auto ass =
        RunCli(tree,
               {"-f", "ass", "--ass-rows", "1", "--ass-no-title", "--ass-style",
                "Fontname=\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA", tree.Path("songs"), tree.Path("out")},
               gbk);
    EXPECT_EQ(ass.status, 0) << ass.err;
    EXPECT_THAT(TestTree::Read(tree.Path("out/a.ass")),
                AllOf(HasSubstr("\nStyle: Row1,微软雅黑,"), HasSubstr("\n; Layout: 1 row,"),
                      Not(HasSubstr(",Title,,"))));
}

} // namespace
} // namespace tolvren
