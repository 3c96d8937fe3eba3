#include "conversion/LyricConverter.h"
#include "conversion/TestSupport.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tolvren {
namespace {

namespace fs = std::filesystem;
using testing::Document;
using testing::Gbk;
using testing::Script;

const std::string song =
    Script({"karaoke.tag('歌名', '示例');",
            "karaoke.add('00:01.000', '00:03.000', '第一行', '500,800,700');"});
const std::string songDocument =
    Document({"<kmc ti=\"示例\" ar=\"\" al=\"\" by=\"作者\" >",
              "  <l t=\"00:01.000,00:03.000,500,800,700\">第一行</l>", "</kmc>"});

// Runs `body` in a child process and returns its exit status: for resource limits and user ids
// that must not touch the test process itself.
int InChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class ConvertFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "convert.XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        fs::permissions(m_dir, fs::perms::all); // reachable for the unprivileged child below
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    const LyricConverter m_converter{"作者"};
    fs::path m_dir;
};

TEST_F(ConvertFileTest, WritesTheDocumentAndNothingElse) {
    Put(PathOf("demo.ksc"), song);
    Put(PathOf("demo.kmc"), "an older document that is longer than the new one ...........");
    const ConvertResult result = m_converter.ConvertFile(PathOf("demo.ksc"), PathOf("demo.kmc"));
    EXPECT_TRUE(result.ok()) << result.reason;
    EXPECT_EQ(result.reason, "");
    EXPECT_EQ(Contents(PathOf("demo.kmc")), songDocument);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"demo.kmc", "demo.ksc"}));
}

TEST_F(ConvertFileTest, TitleFallsBackToTheFileNameInEitherEncoding) {
    struct Case {
        std::string name, title;
    } cases[] = {{"情歌.ksc", "情歌"}, {Gbk("老歌") + ".ksc", "老歌"}, {"a.b.ksc", "a.b"}};
    for (const Case& c : cases) {
        Put(PathOf(c.name), "");
        ASSERT_TRUE(m_converter.ConvertFile(PathOf(c.name), PathOf("out.kmc")).ok());
        EXPECT_EQ(
            Contents(PathOf("out.kmc")),
            Document({"<kmc ti=\"" + c.title + "\" ar=\"\" al=\"\" by=\"作者\" >", "</kmc>"}));
    }
}

TEST_F(ConvertFileTest, AcceptsPathsOfAnyLength) {
    fs::path deep = m_dir;
    for (int i = 0; i < 4; ++i) {
        deep /= std::string(120, static_cast<char>('a' + i));
    }
    fs::create_directories(deep);
    const std::string name(240, 'n');
    Put((deep / (name + ".ksc")).string(), song);
    const std::string target = (deep / (name + ".kmc")).string();
    ASSERT_GT(target.size(), 259u);
    const ConvertResult result = m_converter.ConvertFile((deep / (name + ".ksc")).string(), target);
    ASSERT_TRUE(result.ok()) << result.reason;
    EXPECT_EQ(Contents(target), songDocument);
}

TEST_F(ConvertFileTest, RefusesToWriteOverItsOwnSource) {
    Put(PathOf("song.ksc"), song);
    ASSERT_EQ(link(PathOf("song.ksc").c_str(), PathOf("hard.kmc").c_str()), 0);
    ASSERT_EQ(symlink(PathOf("song.ksc").c_str(), PathOf("soft.kmc").c_str()), 0);
    for (const std::string& target :
         {PathOf("song.ksc"), PathOf("./song.ksc"), PathOf("hard.kmc"), PathOf("soft.kmc")}) {
        const ConvertResult result = m_converter.ConvertFile(PathOf("song.ksc"), target);
        EXPECT_EQ(result.status, ConvertStatus::SameFile) << target;
        EXPECT_EQ(result.reason, "cannot write target: it is the source file");
    }
    EXPECT_EQ(Contents(PathOf("song.ksc")), song);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"hard.kmc", "soft.kmc", "song.ksc"}));
}

TEST_F(ConvertFileTest, ReportsSourcesThatCannotBeRead) {
    ASSERT_EQ(mkfifo(PathOf("fifo.ksc").c_str(), 0600), 0);
    fs::create_directory(PathOf("folder.ksc"));
    struct Case {
        std::string source, reason;
    } cases[] = {
        {PathOf("missing.ksc"), "cannot open source: No such file or directory"},
        {PathOf("folder.ksc"), "cannot read source: Is a directory"},
        {PathOf("fifo.ksc"), "cannot read source: not a regular file"},
        {"/dev/null", "cannot read source: not a regular file"},
        {"", "cannot open source: No such file or directory"},
    };
    for (const Case& c : cases) {
        const ConvertResult result = m_converter.ConvertFile(c.source, PathOf("out.kmc"));
        EXPECT_EQ(result.status, ConvertStatus::SourceUnreadable) << c.source;
        EXPECT_EQ(result.reason, c.reason);
    }
    EXPECT_FALSE(fs::exists(PathOf("out.kmc")));
}

TEST_F(ConvertFileTest, ReportsTargetsThatCannotBeCreated) {
    Put(PathOf("song.ksc"), song);
    Put(PathOf("plain"), "");
    fs::create_directory(PathOf("folder.kmc"));
    struct Case {
        std::string target, reason;
    } cases[] = {
        {PathOf("missing/song.kmc"), "cannot create target: No such file or directory"},
        {PathOf("plain/song.kmc"), "cannot create target: Not a directory"},
        {PathOf("folder.kmc"), "cannot create target: Is a directory"},
        {"", "cannot create target: No such file or directory"},
    };
    for (const Case& c : cases) {
        const ConvertResult result = m_converter.ConvertFile(PathOf("song.ksc"), c.target);
        EXPECT_EQ(result.status, ConvertStatus::TargetNotWritable) << c.target;
        EXPECT_EQ(result.reason, c.reason);
    }
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder.kmc", "plain", "song.ksc"}));
}

TEST_F(ConvertFileTest, FailedWriteKeepsTheOldTargetAndLeavesNoTemporary) {
    std::string big;
    while (big.size() < 64 * 1024) {
        big += Gbk("karaoke.add('00:01.000', '00:03.000', '很长的一行歌词', '500,800,700');\r\n");
    }
    Put(PathOf("big.ksc"), big);
    const std::string old = "the good old document\r\n";
    Put(PathOf("big.kmc"), old);

    const int status = InChild([&] {
        signal(SIGXFSZ, SIG_IGN); // writes past the limit then fail with EFBIG instead
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const ConvertResult result = m_converter.ConvertFile(PathOf("big.ksc"), PathOf("big.kmc"));
        const bool expected = result.status == ConvertStatus::WriteFailed &&
                              result.reason == "cannot write target: File too large";
        return expected ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Contents(PathOf("big.kmc")), old);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"big.kmc", "big.ksc"}));
}

// Permission checks do not apply to root, so as root the case runs as "nobody" in a child.
int AsUnprivileged(const std::function<int()>& body) {
    return InChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            return 77;
        }
        return body();
    });
}

TEST_F(ConvertFileTest, ReportsPermissionDenied) {
    Put(PathOf("locked.ksc"), song);
    fs::permissions(PathOf("locked.ksc"), fs::perms::none);
    Put(PathOf("open.ksc"), song);
    fs::permissions(PathOf("open.ksc"), fs::perms::all);
    fs::create_directory(PathOf("readonly"));
    fs::permissions(PathOf("readonly"), fs::perms::owner_read | fs::perms::owner_exec |
                                            fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
    const int status = AsUnprivileged([&] {
        const LyricConverter converter("");
        const ConvertResult unreadable =
            converter.ConvertFile(PathOf("locked.ksc"), PathOf("readonly/x.kmc"));
        const ConvertResult unwritable =
            converter.ConvertFile(PathOf("open.ksc"), PathOf("readonly/x.kmc"));
        const bool expected = unreadable.status == ConvertStatus::SourceUnreadable &&
                              unreadable.reason == "cannot open source: Permission denied" &&
                              unwritable.status == ConvertStatus::TargetNotWritable &&
                              unwritable.reason == "cannot create target: Permission denied";
        return expected ? 0 : 1;
    });
    if (status == 77) {
        GTEST_SKIP() << "running as root without the right to switch to an unprivileged user";
    }
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_empty(PathOf("readonly")));
}

} // namespace
} // namespace tolvren
