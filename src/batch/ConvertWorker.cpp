#include "batch/FileScanner.h"
#include "batch/Messages.h"
#include "batch/RunState.h"
#include "files/DirectorySearch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fmt/format.h>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unordered_set>

namespace tolvren {

namespace {

// Threads that convert at once, and how many files each may have done ahead of the one that is
// put in place next: enough to keep every core busy, few enough that a run of huge scripts stays
// within memory.
constexpr unsigned kMaxThreads = 16;
constexpr std::size_t kFilesAheadPerThread = 4;

// A millisecond clock that wraps like the 32-bit tick counter the elapsed text was designed for.
std::uint32_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// Percentage of `done` out of `count` as the progress shows it: the quotient first, then times
// 100.0, truncated. (29 of 100 gives 28, which users see and tests pin down.)
int Percentage(int done, int count) {
    return static_cast<std::int16_t>(static_cast<double>(done) / static_cast<double>(count) *
                                     100.0);
}

// One file of the run: where it comes from and where its document goes.
struct Job {
    std::string source;
    std::string folder; ///< the document's folder
    std::string name;   ///< the document's name in it
    /// The script has the name of a document of this run, which may be written over it before its
    /// turn: it is read only then, as a run file by file would read it.
    bool readAtItsTurn = false;
    /// A check without a target folder names the document by its place in the target alone.
    std::string Target() const { return folder.empty() ? name : folder + '/' + name; }
};

// The document's name: the source's name less its last three bytes, plus the extension
// ("Song.ksc" becomes "Song.kmc", "b.kscx" becomes "b.kkmc").
std::string DocumentName(const std::string& sourceName, std::string_view extension) {
    std::string name = sourceName.substr(0, sourceName.size() > 3 ? sourceName.size() - 3 : 0);
    name += extension;
    return name;
}

// `path` made absolute, without a trailing '/' unless it is the root.
std::string Folder(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::string folder = MakeAbsolute(path);
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

// The target folder and, for runs that keep the tree, its subfolders: opened once and kept while
// files go there, created on first use.
class TargetFolders {
public:
    explicit TargetFolders(std::string root) : m_strRoot(std::move(root)) {}

    /// The folder `path`, which lies in the root folder or below it; an error when it cannot be
    /// created or opened.
    FolderHandlePtr Get(const std::string& path, IoResult& error) {
        std::lock_guard lock(m_mutex);
        for (const auto& [known, handle] : m_recent) {
            if (known == path) {
                return handle;
            }
        }
        if (path != m_strRoot) {
            std::error_code created;
            std::filesystem::create_directories(path, created);
            if (created) {
                error = IoResult::Failed(IoStep::CreateFolder, created.value());
                return nullptr;
            }
        }
        auto handle = std::make_shared<FolderHandle>(path);
        if (handle->Fd() < 0) {
            error = IoResult::Failed(IoStep::CreateFolder, handle->Error());
            return nullptr;
        }
        // Files of one folder come together in the list, so a few open folders are plenty.
        if (m_recent.size() == kKept) {
            m_recent.erase(m_recent.begin());
        }
        m_recent.emplace_back(path, handle);
        return handle;
    }

private:
    static constexpr std::size_t kKept = 8;
    std::string m_strRoot;
    std::mutex m_mutex;
    std::vector<std::pair<std::string, FolderHandlePtr>> m_recent;
};

// Converts one file into a document nobody sees yet; without target folders, only checks it.
PreparedDocument ConvertJob(const LyricConverter& converter, TargetFolders* folders, const Job& job,
                            const std::atomic<bool>* cancel) {
    PreparedDocument prepared;
    if (folders == nullptr) {
        prepared.result = converter.Check(job.source);
        return prepared;
    }
    IoResult error;
    FolderHandlePtr folder = folders->Get(job.folder, error);
    if (!folder) {
        prepared.result.io = error;
        return prepared;
    }
    return converter.Prepare(job.source, std::move(folder), job.name, cancel);
}

// Converts the files of a run on every core, each file into a document that nobody sees yet, and
// hands them over strictly in the order of the list, so that the run puts them in place and
// reports them in that order. The thread that takes them converts too while the next one is not
// ready, instead of sleeping: one thread per core in all, and hardly a wake-up per file.
class Pipeline {
public:
    Pipeline(const LyricConverter& converter, const std::vector<Job>& jobs, TargetFolders* folders)
        : m_converter(converter), m_jobs(jobs), m_pFolders(folders) {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const auto threads = static_cast<std::size_t>(std::min(cores, kMaxThreads));
        m_nWindow = std::max<std::size_t>(2, threads * kFilesAheadPerThread);
        m_slots.resize(m_nWindow);
        for (std::size_t t = 1; t < std::min(threads, jobs.size()); ++t) {
            m_threads.emplace_back([this] { Work(); });
        }
    }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;
    ~Pipeline() { Abandon(); }

    /// File `index`, converted; call with 0, 1, 2, ... in turn.
    PreparedDocument Take(std::size_t index) {
        std::unique_lock lock(m_mutex);
        Slot& slot = m_slots[index % m_nWindow];
        while (slot.index != index || !slot.document.has_value()) {
            if (!ConvertNext(lock)) {
                m_ready.wait(lock);
            }
        }
        PreparedDocument document = std::move(*slot.document);
        slot.document.reset();
        m_nTaken = index + 1;
        lock.unlock();
        m_space.notify_all();
        return document;
    }

    /// Stops converting: files begun are given up (their unnamed documents vanish).
    void Abandon() {
        {
            std::lock_guard lock(m_mutex);
            m_bAbandoned = true;
        }
        m_bCancel = true;
        m_space.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
        m_threads.clear();
        for (Slot& slot : m_slots) {
            slot.document.reset();
        }
    }

private:
    struct Slot {
        std::size_t index = 0;
        std::optional<PreparedDocument> document;
    };

    // Converts the next file that may be begun, if there is one; `lock` is held on entry and on
    // return, but not while the file is converted.
    bool ConvertNext(std::unique_lock<std::mutex>& lock) {
        if (m_bAbandoned || m_nNext >= m_jobs.size() || m_nNext >= m_nTaken + m_nWindow) {
            return false;
        }
        const std::size_t index = m_nNext++;
        lock.unlock();
        // A script that may become a document of this run is left for the run to read at its
        // turn.
        const Job& job = m_jobs[index];
        PreparedDocument document = job.readAtItsTurn && m_pFolders != nullptr
                                        ? PreparedDocument()
                                        : ConvertJob(m_converter, m_pFolders, job, &m_bCancel);
        lock.lock();
        Slot& slot = m_slots[index % m_nWindow];
        slot.index = index;
        slot.document = std::move(document);
        m_ready.notify_all();
        return true;
    }

    void Work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_space.wait(lock, [&] {
                return m_bAbandoned || m_nNext >= m_jobs.size() || m_nNext < m_nTaken + m_nWindow;
            });
            if (m_bAbandoned || m_nNext >= m_jobs.size()) {
                return;
            }
            ConvertNext(lock);
        }
    }

    const LyricConverter& m_converter;
    const std::vector<Job>& m_jobs;
    TargetFolders* m_pFolders; ///< null when the run only checks
    std::size_t m_nWindow = 2;

    std::mutex m_mutex;
    std::condition_variable m_ready; ///< a slot was filled
    std::condition_variable m_space; ///< a file was taken, or the run was abandoned
    std::vector<Slot> m_slots;
    std::size_t m_nNext = 0;  ///< the next file a thread begins
    std::size_t m_nTaken = 0; ///< files handed over so far
    bool m_bAbandoned = false;
    std::atomic<bool> m_bCancel{false};
    std::vector<std::thread> m_threads;
};

std::string FailureSuffix(int failedFiles, int unreadableFolders) {
    if (failedFiles > 0 && unreadableFolders > 0) {
        return fmt::format("（{} 个文件失败，{} 个文件夹无法读取）", failedFiles,
                           unreadableFolders);
    }
    if (failedFiles > 0) {
        return fmt::format("（{} 个文件失败）", failedFiles);
    }
    if (unreadableFolders > 0) {
        return fmt::format("（{} 个文件夹无法读取）", unreadableFolders);
    }
    return {};
}

// What the run does for one front end: the list, the jobs, and the reports in order.
class Run {
public:
    Run(const RunRequest& request, RunControl& control, RunFrontEnd& frontEnd)
        : m_request(request), m_control(control), m_frontEnd(frontEnd),
          m_strSource(MakeAbsolute(request.sourceDir)), m_strTarget(Folder(request.targetDir)) {}

    RunSummary Carry() {
        const OutputFormat format = m_frontEnd.AskFormat();
        const std::vector<Job> jobs = ListJobs(ExtensionOf(format));
        m_summary.count = static_cast<int>(jobs.size());
        if (m_bScanStopped) {
            return Finish(m_summary.count > 0 ? fmt::format("1/{}  0% 停止", m_summary.count)
                                              : "0/0  0% 停止");
        }

        std::optional<TargetFolders> folders;
        if (!jobs.empty() && !m_request.checkOnly) {
            folders.emplace(m_strTarget);
            if (!CreateTargetFolder()) {
                return FinishUnwritable();
            }
        }

        const LyricConverter converter(m_request.author, format, m_request.encoding);
        m_nStart = TickCount();
        int percentage = 0;
        std::size_t i = 0;
        {
            Pipeline pipeline(converter, jobs, folders ? &*folders : nullptr);
            for (; i < jobs.size(); ++i) {
                if (m_control.StopRequested()) {
                    break;
                }
                PreparedDocument document = pipeline.Take(i);
                if (folders && jobs[i].readAtItsTurn) {
                    document = ConvertJob(converter, &*folders, jobs[i], nullptr);
                }
                Report(jobs[i], document.Commit());
                const int done = static_cast<int>(i) + 1;
                percentage = Percentage(done, m_summary.count);
                m_summary.done = done;
                RunProgress progress;
                progress.done = done;
                progress.count = m_summary.count;
                progress.percentage = percentage;
                progress.text = fmt::format("{}/{}  {}% ", done, m_summary.count, percentage);
                progress.elapsed =
                    fmt::format("{}毫秒", static_cast<std::int32_t>(TickCount() - m_nStart));
                m_frontEnd.ShowProgress(progress);
            }
        }
        if (i < jobs.size()) {
            // The number shown is that of the file that would have come next.
            return Finish(fmt::format("{}/{}  {}% 停止", i + 1, m_summary.count, percentage));
        }
        if (m_request.checkOnly) {
            return Finish(
                fmt::format("{} 个文件已检查，{} 个有警告", m_summary.count, m_summary.warned));
        }
        return Finish(fmt::format("{}/{}  {}% 完成", i, m_summary.count, percentage));
    }

private:
    std::vector<Job> ListJobs(std::string_view extension) {
        std::vector<Job> jobs;
        std::string absoluteBase;
        std::error_code notAFile;
        if (std::filesystem::is_regular_file(m_strSource, notAFile)) {
            // A source that names one file is a run of that one file.
            jobs.push_back(
                {m_strSource, m_strTarget, DocumentName(SplitPath(m_strSource).name, extension)});
            return jobs;
        }
        ScanOptions options;
        options.Reset();
        options.baseFolder = m_strSource;
        options.fileMask = fmt::format("*{}*", "*.ksc");
        options.includeSubfolders = 1;
        options.flags |= SCAN_BY_ATTRIBUTES;
        options.attributes |= KSC_ATTRIBUTE_MASK;

        ScanHooks hooks;
        hooks.shouldStop = [this] { return m_control.StopRequested(); };
        hooks.progress = [this](int folders, int files) { m_frontEnd.ShowScan(folders, files); };
        hooks.unreadable = [this](const std::string& folder, int error) {
            RunProblem problem;
            problem.kind = RunProblem::Kind::FolderUnreadable;
            problem.path = folder;
            problem.io = IoResult::Failed(IoStep::ReadFolder, error);
            ++m_summary.unreadableFolders;
            Reported(std::move(problem));
        };
        hooks.notRegularFile = [this](const std::string& path) {
            RunProblem problem;
            problem.kind = RunProblem::Kind::NotRegularFile;
            problem.path = path;
            ++m_summary.skipped;
            Reported(std::move(problem));
        };
        // A target folder inside the source holds documents, not scripts: a backup such as
        // "情歌.ksc.bak" would otherwise come back as "情歌.ksc.kmc" and be taken for a script.
        FileIdentity target;
        FileIdentity source;
        if (!m_request.targetDir.empty() && GetIdentity(m_strTarget, target) &&
            GetIdentity(m_strSource, source) && !(target == source)) {
            hooks.skipFolders.push_back(target);
        }
        FileScanner scanner;
        scanner.Scan(options, hooks);
        m_bScanStopped = scanner.WasStopped();
        if (m_request.keepTree) {
            absoluteBase = options.baseFolder; // as the scanner made its paths
        }

        jobs.reserve(static_cast<std::size_t>(scanner.GetCount()));
        std::unordered_set<std::string> documentNames;
        for (int index = 0; index < scanner.GetCount(); ++index) {
            const std::string& path = scanner.PathAt(index);
            const std::size_t slash = path.rfind('/');
            Job job{path, m_strTarget, DocumentName(path.substr(slash + 1), extension)};
            // Keeping the tree: the document goes into the same subfolder of the target as its
            // script has below the searched folder.
            if (!absoluteBase.empty() && path.compare(0, absoluteBase.size(), absoluteBase) == 0 &&
                slash + 1 > absoluteBase.size()) {
                job.folder += job.folder.empty() ? "" : "/";
                job.folder.append(path, absoluteBase.size(), slash - absoluteBase.size());
            }
            documentNames.insert(job.name);
            jobs.push_back(std::move(job));
        }
        for (Job& job : jobs) {
            job.readAtItsTurn = documentNames.contains(SplitPath(job.source).name);
        }
        return jobs;
    }

    // Only the target folder itself, as a user would create it by hand; an existing one is fine.
    bool CreateTargetFolder() {
        int error = 0;
        if (::mkdir(m_strTarget.c_str(), 0777) != 0 && errno != EEXIST) {
            error = errno;
        } else {
            const FolderHandle folder(m_strTarget);
            error = folder.Error();
        }
        if (error == 0) {
            return true;
        }
        RunProblem problem;
        problem.kind = RunProblem::Kind::TargetFolder;
        problem.path = m_request.targetDir;
        problem.io = IoResult::Failed(IoStep::CreateFolder, error);
        Reported(std::move(problem));
        return false;
    }

    // No file can be written: each counts as failed, but the reason is said once.
    RunSummary FinishUnwritable() {
        m_summary.failed = m_summary.count;
        m_summary.done = m_summary.count;
        RunProgress progress;
        progress.done = progress.count = m_summary.count;
        progress.percentage = 100;
        progress.text = fmt::format("{}/{}  100% ", m_summary.count, m_summary.count);
        progress.elapsed = "0毫秒";
        m_frontEnd.ShowProgress(progress);
        return Finish(fmt::format("{}/{}  100% 完成", m_summary.count, m_summary.count));
    }

    void Report(const Job& job, const ConvertResult& result) {
        const std::string target = job.Target();
        if (!result.ok()) {
            ++m_summary.failed;
            RunProblem problem;
            problem.kind = RunProblem::Kind::Failed;
            problem.path = job.source;
            problem.targetPath = target;
            problem.io = result.io;
            Reported(std::move(problem));
            return;
        }
        for (const ScriptWarning& warning : result.warnings) {
            RunProblem problem;
            problem.kind = RunProblem::Kind::Warning;
            problem.path = job.source;
            problem.targetPath = target;
            problem.warning = warning;
            Reported(std::move(problem));
        }
        m_summary.warned += result.warnings.empty() ? 0 : 1;
        // Two sources of the same name overwrite each other in a flat target folder, and the
        // user must hear of it; a check says it as the run would.
        auto [it, inserted] = m_writtenBy.try_emplace(target, job.source);
        if (!inserted) {
            RunProblem problem;
            problem.kind = RunProblem::Kind::Overwritten;
            problem.path = job.source;
            problem.otherPath = it->second;
            problem.targetPath = target;
            it->second = job.source;
            Reported(std::move(problem));
        } else if (m_request.checkOnly && !m_request.targetDir.empty() &&
                   WouldReplace(job.source, target)) {
            RunProblem problem;
            problem.kind = RunProblem::Kind::WouldReplace;
            problem.path = job.source;
            problem.targetPath = target;
            Reported(std::move(problem));
        }
    }

    // Whether a run would replace the document `target` that exists already (a script is never
    // replaced by its own document).
    static bool WouldReplace(const std::string& source, const std::string& target) {
        struct stat existing {};
        struct stat script {};
        return ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
               !(::stat(source.c_str(), &script) == 0 &&
                 FileIdentity::Of(script) == FileIdentity::Of(existing));
    }

    void Reported(RunProblem problem) {
        m_frontEnd.ReportProblem(problem);
        m_summary.problems.push_back(std::move(problem));
    }

    RunSummary Finish(std::string status) {
        m_summary.stopped = status.ends_with("停止");
        status += FailureSuffix(m_summary.failed, m_summary.unreadableFolders);
        m_summary.finalText = std::move(status);
        m_frontEnd.ShowFinished(m_summary);
        m_control.m_bRunning = false;
        if (!m_request.checkOnly && m_frontEnd.IsOpenTargetChecked()) {
            m_frontEnd.OpenFolder(m_strTarget);
        }
        if (m_control.m_bExitRequested) {
            m_frontEnd.CloseAfterRun();
        }
        return std::move(m_summary);
    }

    const RunRequest& m_request;
    RunControl& m_control;
    RunFrontEnd& m_frontEnd;
    // Both folders made absolute, the target without a trailing '/': documents and the scripts
    // they may overwrite are then named alike.
    std::string m_strSource;
    std::string m_strTarget;
    RunSummary m_summary;
    bool m_bScanStopped = false;
    std::uint32_t m_nStart = 0;
    // Documents written in this run, with their sources.
    std::map<std::string, std::string> m_writtenBy;
};

} // namespace

RunSummary ConvertWorker(const RunRequest& request, RunControl& control, RunFrontEnd& frontEnd) {
    return Run(request, control, frontEnd).Carry();
}

} // namespace tolvren
