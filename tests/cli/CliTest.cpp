// End-to-end tests of the built tolvren-cli binary.

#include "support/WorkerRun.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tolvren {
namespace {

using test::TestTree;
using ::testing::HasSubstr;

using test::kSong;

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;

    std::string LastOutLine() const {
        std::string line;
        std::istringstream lines(out);
        for (std::string l; std::getline(lines, l);) {
            line = l;
        }
        return line;
    }
};

// Runs the CLI with `args`, its output captured in files of `tree`; `whileRunning` is called with
// the child's pid before it is waited for.
CliResult RunCli(const TestTree& tree, std::vector<std::string> args,
                 const std::function<void(pid_t)>& whileRunning = {},
                 const std::vector<std::string>& extraEnv = {}) {
    const std::string outPath = tree.Path(".stdout");
    const std::string errPath = tree.Path(".stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const auto pointers = [](std::vector<std::string>& texts) {
        std::vector<char*> result;
        for (auto& t : texts) {
            result.push_back(t.data());
        }
        result.push_back(nullptr);
        return result;
    };
    args.insert(args.begin(), TOLVREN_CLI_PATH);
    std::vector<std::string> env = extraEnv; // earlier entries win: the extra ones come first
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);
    pid_t pid = 0;
    CliResult result;
    if (posix_spawn(&pid, TOLVREN_CLI_PATH, &actions, nullptr, argv.data(), envp.data()) != 0) {
        return result;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (whileRunning) {
        whileRunning(pid);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = TestTree::Read(outPath);
    result.err = TestTree::Read(errPath);
    return result;
}

TEST(Cli, ConvertsAFolderTreeAndEndsWithTheStatusText) {
    TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    tree.Write("songs/sub/b.ksc", kSong);
    const auto r =
        RunCli(tree, {tree.Path("songs"), tree.Path("out"), "-a", "我", "--format", "xml"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.LastOutLine(), "2/2  100% 完成");
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(TestTree::Read(tree.Path("out/b.xml")), HasSubstr("by=\"我\""));
}

TEST(Cli, FailedFilesGoToStderrAndExitWithOne) {
    TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    tree.Write("songs/b.ksc", kSong);
    tree.MakeFolder("out/b.kmc");
    const auto r = RunCli(tree, {tree.Path("songs"), tree.Path("out")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LastOutLine(), "2/2  100% 完成（1 个文件失败）");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err; // one line
    EXPECT_THAT(r.err, HasSubstr(tree.Path("songs/b.ksc") + ": "));
}

TEST(Cli, SameNamedSourcesGiveANoticeButSucceed) {
    TestTree tree;
    tree.Write("songs/x/a.ksc", kSong);
    tree.Write("songs/a.ksc", kSong);
    const auto r = RunCli(tree, {tree.Path("songs"), tree.Path("out")});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.err, HasSubstr(tree.Path("songs/x/a.ksc")));
    EXPECT_THAT(r.err, HasSubstr(tree.Path("songs/a.ksc")));
    const auto keep = RunCli(tree, {"--keep-tree", tree.Path("songs"), tree.Path("kept")});
    EXPECT_EQ(keep.err, "");
    EXPECT_TRUE(TestTree::Exists(tree.Path("kept/x/a.kmc")));
    const auto quiet = RunCli(tree, {"-q", tree.Path("songs/x"), tree.Path("quiet")});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out + quiet.err, ""); // nothing printed on success
}

TEST(Cli, UsageErrorsExitWithTwoAndShowTheUsage) {
    TestTree tree;
    tree.MakeFolder("songs");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {tree.Path("songs")},
        {"--format", "txt", tree.Path("songs"), tree.Path("out")},
        {"--no-such-option", tree.Path("songs"), tree.Path("out")},
        {tree.Path("missing"), tree.Path("out")},
        {"--author"},
    };
    for (const auto& args : cases) {
        const auto r = RunCli(tree, args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_THAT(r.err, HasSubstr("Usage:"));
        EXPECT_EQ(r.out, "");
    }
}

TEST(Cli, HelpAndVersionSucceedOnStdout) {
    TestTree tree;
    const auto help = RunCli(tree, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("--keep-tree"));
    const auto version = RunCli(tree, {"-V"});
    EXPECT_EQ(version.status, 0);
    EXPECT_THAT(version.out, HasSubstr("tolvren-cli "));
}

TEST(Cli, OpenPassesTheTargetAsOneArgumentAndNeverThroughAShell) {
    TestTree tree;
    tree.Write("songs/a.ksc", kSong);
    const std::string bin = tree.MakeFolder("bin");
    tree.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$#\" > \"$0.count\"\n"
                               "printf '%s' \"$1\" > \"$0.arg\"\n");
    ::chmod(tree.Path("bin/xdg-open").c_str(), 0755);
    const std::string target = tree.Path("out $(touch pwned); \"q\" 'x' `touch pwned2` -n");
    const std::string path = "PATH=" + bin + ":" + std::getenv("PATH");
    const auto r = RunCli(tree, {"--open", tree.Path("songs"), target}, {}, {path});
    EXPECT_EQ(r.status, 0) << r.err;
    for (int i = 0; i < 500 && !TestTree::Exists(tree.Path("bin/xdg-open.arg")); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(TestTree::Read(tree.Path("bin/xdg-open.count")), "1");
    EXPECT_EQ(TestTree::Read(tree.Path("bin/xdg-open.arg")), target);
    EXPECT_FALSE(TestTree::Exists("pwned"));
    EXPECT_FALSE(TestTree::Exists("pwned2"));
    EXPECT_FALSE(TestTree::Exists(tree.Path("pwned")));
}

TEST(Cli, InterruptStopsAfterTheCurrentFileWithStatus130) {
    TestTree tree;
    constexpr int kFiles = 4000;
    for (int i = 0; i < kFiles; ++i) {
        tree.Write("songs/" + std::to_string(i) + ".ksc", kSong);
    }
    const auto r = RunCli(tree, {tree.Path("songs"), tree.Path("out")}, [&](pid_t pid) {
        // Wait for the first document, then interrupt.
        for (int i = 0; i < 20000 && !TestTree::Exists(tree.Path("out/0.kmc")); ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        kill(pid, SIGINT);
    });
    ASSERT_EQ(r.status, 130) << r.out;
    EXPECT_THAT(r.LastOutLine(), ::testing::EndsWith("停止"));
    // "N/4000  P% 停止": N - 1 documents were written, none half-way.
    const int next = std::stoi(r.LastOutLine());
    int written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(tree.Path("out"))) {
        EXPECT_EQ(entry.path().extension(), ".kmc") << entry.path();
        ++written;
    }
    EXPECT_EQ(written, next - 1);
    EXPECT_LT(written, kFiles);
}

} // namespace
} // namespace tolvren
