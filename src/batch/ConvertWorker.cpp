#include "batch/RunState.h"
#include "conversion/LyricConverter.h"
#include "files/DirectorySearch.h"

#include <chrono>
#include <cstdint>
#include <fmt/format.h>
#include <map>
#include <sys/stat.h>

namespace tolvren {

namespace {

// A millisecond clock that wraps like the 32-bit tick counter the elapsed text was designed for.
std::uint32_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Percentage of `done` out of `count` as the progress shows it: the quotient first, then times
// 100.0, truncated. (29 of 100 gives 28, which users see and tests pin down.)
std::int16_t Percentage(int done, int count) {
    return static_cast<std::int16_t>(static_cast<double>(done) / static_cast<double>(count) *
                                     100.0);
}

// The folder below `targetDir` that mirrors the source file's folder below the searched folder,
// for runs that keep the tree; "" when the file lies in the searched folder itself.
std::string RelativeFolder(const std::string& sourceLocation, const std::string& absoluteBase) {
    if (absoluteBase.empty() || sourceLocation.size() <= absoluteBase.size() ||
        sourceLocation.compare(0, absoluteBase.size(), absoluteBase) != 0) {
        return {};
    }
    return sourceLocation.substr(absoluteBase.size());
}

// Creates every missing folder of `relative` (a path ending in '/') below `root`.
void CreateFolders(const std::string& root, const std::string& relative) {
    std::string path = root;
    std::size_t start = 0;
    while (start < relative.size()) {
        const std::size_t slash = relative.find('/', start);
        const std::size_t end = slash == std::string::npos ? relative.size() : slash;
        path += '/';
        path.append(relative, start, end - start);
        ::mkdir(path.c_str(), 0777); // an existing folder is fine; a failure shows at the write
        start = end + 1;
    }
}

} // namespace

int ConvertWorker(RunState& run) {
    RunFrontEnd& frontEnd = *run.m_pFrontEnd;
    const std::string extension = frontEnd.IsKmcChecked() ? "kmc" : "xml";

    run.m_problems.clear();
    run.m_nFailed = 0;
    run.m_nDone = 0;
    run.m_bStopped = false;

    run.m_scanner.RemoveAll();
    // A source that names one file is a run of that one file; a folder is searched.
    const bool singleFile = IsRegularFile(run.m_strSourceDir);
    ScanOptions options;
    options.Reset();
    options.baseFolder = run.m_strSourceDir;
    options.fileMask = fmt::format("*{}*", "*.ksc");
    options.includeSubfolders = 1;
    options.flags |= SCAN_BY_ATTRIBUTES;
    options.attributes |= KSC_ATTRIBUTE_MASK;
    const int count = singleFile ? 1 : (run.m_scanner.Scan(options), run.m_scanner.GetCount());
    run.m_nCount = count;

    std::string absoluteBase;
    if (run.m_bKeepTree && !singleFile) {
        absoluteBase = MakeAbsolute(options.baseFolder); // as the scanner made its paths
    }

    if (count > 0) {
        // Only this one folder, as a user would create it by hand; an existing one is fine.
        ::mkdir(run.m_strTargetDir.c_str(), 0777);
    }
    frontEnd.SetProgressRange(0, 100);

    const LyricConverter converter(run.m_strAuthor);
    const std::uint32_t start = TickCount();

    std::int16_t percentage = 0;
    int i = 0;
    // Outputs written in this run, with their sources: two sources of the same name overwrite
    // each other in a flat target folder, and the user must hear of it.
    std::map<std::string, std::string> writtenBy;
    while (i < count) {
        if (run.m_bRunning == 0 || run.m_bExitRequested != 0) {
            break;
        }

        std::string source;
        std::string name;
        std::string location;
        if (singleFile) {
            FileEntry entry(run.m_strSourceDir);
            source = entry.GetPath();
            name = entry.GetNameExt();
        } else {
            FileEntry found = run.m_scanner.GetAt(i);
            FileEntry entry(found.GetPathText());
            source = entry.GetPath();
            name = entry.GetNameExt();
            location = entry.GetLocation();
        }

        std::string targetFolder = run.m_strTargetDir;
        if (!absoluteBase.empty()) {
            const std::string relative = RelativeFolder(location, absoluteBase);
            if (!relative.empty()) {
                CreateFolders(run.m_strTargetDir, relative);
                targetFolder += '/';
                targetFolder += relative.substr(0, relative.size() - 1);
            }
        }
        // The name less its last three bytes: "Song.ksc" becomes "Song.kmc", "b.kscx" "b.kkmc".
        std::string target = std::move(targetFolder);
        target += '/';
        target.append(name, 0, name.size() > 3 ? name.size() - 3 : 0);
        target += extension;

        const ConvertResult result = converter.ConvertFile(source, target);
        if (result.ok()) {
            auto [it, inserted] = writtenBy.try_emplace(target, source);
            if (!inserted) {
                RunProblem problem;
                problem.kind = RunProblem::Kind::Overwritten;
                problem.path = source;
                problem.otherPath = it->second;
                problem.targetPath = target;
                it->second = source;
                run.m_problems.push_back(problem);
                frontEnd.ReportProblem(problem);
            }
        } else {
            ++run.m_nFailed;
            RunProblem problem;
            problem.kind = RunProblem::Kind::Failed;
            problem.path = source;
            problem.targetPath = target;
            problem.reason = result.reason;
            run.m_problems.push_back(problem);
            frontEnd.ReportProblem(problem);
        }

        const int done = i + 1;
        percentage = Percentage(done, count);
        frontEnd.SetProgressPos(percentage);
        frontEnd.SetProgressText(fmt::format("{}/{}  {}% ", done, count, percentage));
        const auto elapsed = static_cast<std::int32_t>(TickCount() - start);
        frontEnd.UpdateElapsed(fmt::format("{}毫秒", elapsed));
        i = done;
        run.m_nDone = done;
    }

    std::string status;
    if (i < count) {
        // The number shown is that of the file that would have come next.
        run.m_bStopped = true;
        status = fmt::format("{}/{}  {}% 停止", i + 1, count, percentage);
    } else {
        status = fmt::format("{}/{}  {}% 完成", i, count, percentage);
    }
    if (run.m_nFailed > 0) {
        status += fmt::format("（{} 个文件失败）", run.m_nFailed);
    }
    run.m_strFinalText = status;
    frontEnd.SetProgressText(status);

    frontEnd.SetStartEnabled(true);
    frontEnd.SetStopEnabled(false);
    run.m_bRunning = 0;

    if (frontEnd.IsOpenTargetChecked()) {
        frontEnd.OpenFolder(run.m_strTargetDir);
    }
    if (run.m_bExitRequested != 0) {
        frontEnd.CloseAfterRun();
    }
    return 0;
}

} // namespace tolvren
