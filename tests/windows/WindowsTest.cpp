// Where Windows differs, and what Tolvren does about it: names Windows keeps for devices, names
// that differ in case only, attributes, documents held open, long paths. Run under wine; where
// wine and Windows differ, the test says so and gives way.

#include "files/AtomicFileWriter.h"
#include "support/Platform.h"
#include "support/WorkerRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

namespace tolvren {
namespace {

using test::kSong;
using test::WorkerRun;
using ::testing::ElementsAre;

// `path` as a system call takes it, every name as it stands.
std::wstring SystemPathOf(const std::string& path) {
    return L"\\\\?\\" + test::FsPath(path).wstring();
}

// Writes a script under a name the usual calls cannot make ("nul.ksc", "x.ksc.").
void WriteExactly(const std::string& path, const std::string& bytes) {
    const HANDLE file = ::CreateFileW(SystemPathOf(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::string ReadExactly(const std::string& path) {
    const HANDLE file = ::CreateFileW(SystemPathOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes(4096, '\0');
    DWORD got = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        ::CloseHandle(file);
    }
    bytes.resize(got);
    return bytes;
}

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesW(SystemPathOf(path).c_str());
}

TEST(Windows, NamesWindowsKeepsForDevicesAreReadButNeverWritten) {
    struct Case {
        std::string source;
        std::string document; ///< empty: refused
    };
    for (const Case& c : {Case{"nul.ksc", ""}, Case{"Con.ksc", ""}, Case{"aux.song.ksc", ""},
                          Case{"COM\xC2\xB9.ksc", ""}, Case{"conin$.ksc", ""},
                          Case{"console.ksc", "console.kmc"}, Case{"x.ksc.", "x.kkmc"},
                          // The last three bytes of the name cut its last character in half.
                          Case{"x.ksc\xE6\xAD\x8C"
                               "a",
                               ""}}) {
        WorkerRun w;
        w.tree.MakeFolder("src");
        WriteExactly(w.tree.Path("src/" + c.source), kSong);
        w.Start();
        SCOPED_TRACE(c.source);
        if (c.document.empty()) {
            ASSERT_EQ(w.summary.failed, 1);
            const IoCause cause = w.summary.problems[0].io.cause;
            EXPECT_TRUE(cause == IoCause::ReservedName || cause == IoCause::BrokenName);
            EXPECT_THAT(w.Documents(), ElementsAre());
        } else {
            EXPECT_EQ(w.summary.failed, 0);
            EXPECT_THAT(w.Documents(), ElementsAre(c.document));
        }
    }
}

TEST(Windows, NamesThatDifferInCaseAloneAreOneDocument) {
    for (const bool keepTree : {false, true}) {
        WorkerRun w;
        w.Songs({"Pop/Song.ksc", "rock/SONG.ksc"});
        w.request.keepTree = keepTree;
        if (keepTree) {
            w.Songs({"pop2/a.ksc"});
            w.tree.MakeFolder("out/POP2"); // the target has it as "POP2": the same folder
        }
        w.Start();
        const auto notices = std::count_if(
            w.summary.problems.begin(), w.summary.problems.end(),
            [](const RunProblem& p) { return p.kind == RunProblem::Kind::Overwritten; });
        EXPECT_EQ(notices, keepTree ? 0 : 1);
        EXPECT_EQ(w.tree.Names("out").size(), keepTree ? 3U : 1U);
    }
}

TEST(Windows, DocumentsAreNeitherHiddenNorTemporaryAndKeepWhatTheyReplace) {
    WorkerRun w;
    w.Songs({"new.ksc", "kept.ksc", "locked.ksc", "normal.ksc"});
    const std::string kept = w.tree.Write("out/kept.kmc", "old");
    ::SetFileAttributesW(SystemPathOf(kept).c_str(), FILE_ATTRIBUTE_HIDDEN);
    w.tree.Write("out/locked.kmc", "old", 0444);
    // Backup tools leave "normal" alone once they clear the archive bit: still a script.
    ::SetFileAttributesW(SystemPathOf(w.tree.Path("src/normal.ksc")).c_str(),
                         FILE_ATTRIBUTE_NORMAL);
    w.Start();
    EXPECT_THAT(w.FailedPaths(), ElementsAre(w.tree.Path("src/locked.ksc")));
    EXPECT_EQ(Attributes(w.tree.Path("out/new.kmc")) &
                  (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_READONLY),
              0U);
    EXPECT_NE(Attributes(kept) & FILE_ATTRIBUTE_HIDDEN, 0U);
    EXPECT_EQ(test::TestTree::Read(w.tree.Path("out/locked.kmc")), "old");
    EXPECT_TRUE(test::TestTree::Exists(w.tree.Path("out/normal.kmc")));
    EXPECT_THAT(w.Leftovers(), ElementsAre());
}

TEST(Windows, ADocumentHeldOpenIsWaitedForThenReported) {
    WorkerRun w;
    w.Songs({"song.ksc"});
    const std::string held = w.tree.Write("out/song.kmc", "old");
    const HANDLE file = ::CreateFileW(SystemPathOf(held).c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    w.Start();
    ::CloseHandle(file);
    if (w.summary.failed == 0) {
        GTEST_SKIP() << "wine lets a file open without sharing be replaced; Windows does not";
    }
    EXPECT_EQ(w.summary.problems[0].io, IoResult::Failed(IoStep::ReplaceTarget, EBUSY));
    EXPECT_EQ(test::TestTree::Read(held), "old");
    EXPECT_THAT(w.Leftovers(), ElementsAre());
}

TEST(Windows, PathsLongerThanTheOldLimitWork) {
    WorkerRun w;
    std::string deep = "src";
    ::CreateDirectoryW(SystemPathOf(w.tree.Path(deep)).c_str(), nullptr);
    while (deep.size() < 300) {
        deep += "/a-long-folder-name";
        ::CreateDirectoryW(SystemPathOf(w.tree.Path(deep)).c_str(), nullptr);
    }
    WriteExactly(w.tree.Path(deep + "/song.ksc"), kSong);
    w.request.keepTree = true;
    w.Start();
    EXPECT_EQ(w.summary.failed, 0);
    EXPECT_EQ(ReadExactly(w.tree.Path("out" + deep.substr(3) + "/song.kmc")).substr(0, 3),
              "\xEF\xBB\xBF");
}

} // namespace
} // namespace tolvren
