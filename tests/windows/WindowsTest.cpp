// Where Windows differs, and what Tolvren does about it: paths as users write them, names Windows
// keeps for devices, names that differ in case only, attributes, files another program holds
// open, long paths, reasons in Windows' words. Run under wine; what wine cannot show (a file
// whose only attribute is "normal", two names that differ in case alone in one folder) the
// scanner's tests present through its listing seam (tests/batch/ScannerTest.cpp).

#include "batch/Messages.h"
#include "files/AtomicFileWriter.h"
#include "files/Win32Text.h"
#include "support/Platform.h"
#include "support/WorkerRun.h"

#include <algorithm>
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

// The second program of a test that needs one: run with TOLVREN_HOLD set, this program holds that
// file open without sharing, as a player or a virus scanner does, until it is ended.
const bool kHolding = [] {
    std::wstring path(32768, L'\0');
    if (::GetEnvironmentVariableW(L"TOLVREN_HOLD", path.data(), 32768) == 0) {
        return false;
    }
    ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ::Sleep(INFINITE);
    return true;
}();

// `path` held open by a second process while in scope (wine lets a process replace what it holds
// itself, as Windows does not).
class HeldElsewhere {
public:
    explicit HeldElsewhere(const std::string& path) {
        const std::wstring system = SystemPathOf(path);
        std::wstring self(MAX_PATH, L'\0');
        self.resize(::GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
        ::SetEnvironmentVariableW(L"TOLVREN_HOLD", system.c_str());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ::CreateProcessW(self.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &m_process);
        ::SetEnvironmentVariableW(L"TOLVREN_HOLD", nullptr);
        // Until the second program holds the file, while it lives: a wine that has just started
        // can take many seconds to start a program.
        const ULONGLONG deadline = ::GetTickCount64() + 120000;
        while (!m_bHeld && ::GetTickCount64() < deadline &&
               ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            const HANDLE file = ::CreateFileW(system.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, 0, nullptr);
            m_bHeld = file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION;
            if (file != INVALID_HANDLE_VALUE) {
                ::CloseHandle(file);
            }
            if (!m_bHeld) {
                ::Sleep(10);
            }
        }
    }
    HeldElsewhere(const HeldElsewhere&) = delete;
    HeldElsewhere& operator=(const HeldElsewhere&) = delete;
    ~HeldElsewhere() {
        ::TerminateProcess(m_process.hProcess, 0);
        ::WaitForSingleObject(m_process.hProcess, INFINITE);
        ::CloseHandle(m_process.hProcess);
        ::CloseHandle(m_process.hThread);
    }
    bool Held() const { return m_bHeld; }

private:
    PROCESS_INFORMATION m_process{};
    bool m_bHeld = false;
};

TEST(Windows, NamesWindowsKeepsForDevicesAreReadButNeverWritten) {
    struct Case {
        std::string source;
        std::string document; ///< empty: refused
        IoCause cause = IoCause::ReservedName;
    };
    for (const Case& c : {Case{"nul.ksc", ""}, Case{"Con.ksc", ""}, Case{"aux.song.ksc", ""},
                          Case{"COM\xC2\xB9.ksc", ""}, Case{"conin$.ksc", ""},
                          Case{"console.ksc", "console.kmc"}, Case{"x.ksc.", "x.kkmc"},
                          // The last three bytes of the name cut its last character in half.
                          Case{"x.ksc\xE6\xAD\x8C"
                               "a",
                               "", IoCause::BrokenName}}) {
        WorkerRun w;
        w.tree.MakeFolder("src");
        WriteExactly(w.tree.Path("src/" + c.source), kSong);
        w.Start();
        SCOPED_TRACE(c.source);
        if (c.document.empty()) {
            ASSERT_EQ(w.summary.failed, 1);
            EXPECT_EQ(w.summary.problems[0].io.cause, c.cause);
            EXPECT_THAT(w.Documents(), ElementsAre());
        } else {
            EXPECT_EQ(w.summary.failed, 0);
            EXPECT_THAT(w.Documents(), ElementsAre(c.document));
        }
    }
}

// Both scripts are converted; the notice names both, and the document by the name the file
// system kept for it (wine keeps the first name; Windows may take the second's).
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
        EXPECT_EQ(w.summary.done, keepTree ? 3 : 2);
        EXPECT_EQ(w.summary.failed, 0);
        EXPECT_EQ(w.tree.Names("out").size(), keepTree ? 3U : 1U);
        if (!keepTree) {
            ASSERT_THAT(w.summary.problems, ::testing::SizeIs(1));
            const RunProblem& notice = w.summary.problems[0];
            EXPECT_EQ(notice.kind, RunProblem::Kind::Overwritten);
            EXPECT_EQ(notice.path, w.tree.Path("src/rock/SONG.ksc"));
            EXPECT_EQ(notice.otherPath, w.tree.Path("src/Pop/Song.ksc"));
            EXPECT_EQ(notice.targetPath, w.tree.Path("out/" + w.tree.Names("out")[0]));
        }
    }
}

// A source folder named "CON" only real Windows can hold (wine makes none), so the rule is asked
// of the seam directly for it; the folders wine does make go through the run.
TEST(Windows, KeptFoldersWindowsCouldNotOpenFailTheirDocumentsNamedOnceEach) {
    WorkerRun w;
    for (const std::string below : {"CON", "a\\nul.txt", "COM1\\b", "x\\Live "}) {
        EXPECT_EQ(CreateFolders(w.tree.Root(), below).cause, IoCause::ReservedName) << below;
    }
    EXPECT_THAT(w.tree.Names(), ElementsAre()); // nothing made for a name refused further down
    w.tree.MakeFolder("src");
    for (const std::string folder : {"src/Album.", "src/Live "}) {
        ::CreateDirectoryW(SystemPathOf(w.tree.Path(folder)).c_str(), nullptr);
        WriteExactly(w.tree.Path(folder + "/a.ksc"), kSong);
        WriteExactly(w.tree.Path(folder + "/b.ksc"), kSong);
    }
    w.Songs({"ok/c.ksc"});
    w.request.keepTree = true;
    w.Start();
    EXPECT_EQ(w.frontEnd.Texts().back(), "5/5  100% 完成（4 个文件失败）");
    std::vector<std::string> folders;
    for (const RunProblem& problem : w.summary.problems) {
        EXPECT_EQ(problem.kind, RunProblem::Kind::TargetFolder);
        EXPECT_EQ(problem.io, IoResult::Failed(IoStep::CreateFolder, IoCause::ReservedName));
        folders.push_back(problem.path);
    }
    EXPECT_THAT(folders, ElementsAre(w.tree.Path("out/Album."), w.tree.Path("out/Live ")));
    EXPECT_THAT(w.Documents(), ElementsAre("ok"));
}

TEST(Windows, DocumentsAreNeitherHiddenNorTemporaryAndKeepWhatTheyReplace) {
    WorkerRun w;
    w.Songs({"new.ksc", "kept.ksc", "locked.ksc", "normal.ksc"});
    const std::string kept = w.tree.Write("out/kept.kmc", "old");
    ::SetFileAttributesW(SystemPathOf(kept).c_str(), FILE_ATTRIBUTE_HIDDEN);
    w.tree.Write("out/locked.kmc", "old", 0444);
    // Backup tools leave "normal" alone once they clear the archive bit: still a script. (Wine
    // reports it as archive all the same; the scanner's test presents "normal" alone.)
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

TEST(Windows, WhatAnotherProgramHoldsIsWaitedForThenReportedInWindowsWords) {
    WorkerRun w;
    w.Songs({"held.ksc", "song.ksc"});
    const std::string document = w.tree.Write("out/song.kmc", "old");
    {
        const HeldElsewhere script(w.tree.Path("src/held.ksc"));
        const HeldElsewhere held(document);
        ASSERT_TRUE(script.Held() && held.Held());
        w.Start();
    }
    ASSERT_EQ(w.summary.failed, 2);
    const IoResult& open = w.summary.problems[0].io;
    const IoResult& replace = w.summary.problems[1].io;
    EXPECT_EQ(open, IoResult::Failed(IoStep::OpenSource, EBUSY));
    EXPECT_EQ(replace, IoResult::Failed(IoStep::ReplaceTarget, EBUSY));
    EXPECT_EQ(DescribeIo(replace, Language::English),
              "cannot replace target: another program is using the file");
    EXPECT_EQ(DescribeIo(open, Language::Chinese), "无法打开源文件：另一个程序正在使用此文件");
    EXPECT_EQ(test::TestTree::Read(document), "old");
    EXPECT_THAT(w.Leftovers(), ElementsAre());
}

// Each Windows error a file operation meets reads in Windows' words, never in the C library's.
TEST(Windows, EveryWindowsErrorReadsInWindowsWords) {
    for (const DWORD code :
         {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_BAD_NETPATH, ERROR_ACCESS_DENIED,
          ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_FILE_EXISTS, ERROR_DISK_FULL,
          ERROR_DIRECTORY, ERROR_FILENAME_EXCED_RANGE, ERROR_WRITE_PROTECT, ERROR_OUTOFMEMORY,
          ERROR_TOO_MANY_OPEN_FILES, ERROR_INVALID_NAME, ERROR_NO_UNICODE_TRANSLATION,
          ERROR_DIR_NOT_EMPTY, ERROR_NOT_SAME_DEVICE, ERROR_GEN_FAILURE}) {
        const int error = ErrnoFromWin32(code);
        EXPECT_NE(DescribeSystemError(error, Language::Chinese),
                  DescribeSystemError(error, Language::Chinese, ErrorWording::Posix))
            << code;
    }
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
