#include "batch/ConvertWorker.h"

#include "batch/FileScanner.h"
#include "batch/Messages.h"
#include "batch/Pipeline.h"
#include "files/AtomicFileWriter.h"
#include "files/FileSystem.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

namespace tolvren {

namespace {

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
    ScriptFile script;
    std::string folder; ///< the document's folder
    std::string below;  ///< that folder below the target folder ("" in a flat run)
    std::string name;   ///< the document's name in it
    /// The document below the target folder as the file system compares names: two jobs of the
    /// same key write one document.
    std::string key;
    /// The script has the name of a document of this run, which may be written over it before its
    /// turn: it is read only then, as a run file by file would read it.
    bool readAtItsTurn = false;
    std::string Target() const { return JoinPath(folder, name); }
};

// The document's name: the source's name less its last three bytes, plus the extension
// ("Song.ksc" becomes "Song.kmc", "b.kscx" becomes "b.kkmc").
std::string DocumentName(const std::string& sourceName, std::string_view extension) {
    std::string name = sourceName.substr(0, sourceName.size() > 3 ? sourceName.size() - 3 : 0);
    name += extension;
    return name;
}

// The target folder, opened once when the run has made it, and for runs that keep the tree its
// subfolders, created on first use and kept open while files go there. A subfolder that cannot
// be made is tried once. Each folder, as it is first opened, loses what a run killed before it
// could clean up left there; temporaries of a run still going (this one's included) are held and
// stay.
class TargetFolders {
public:
    explicit TargetFolders(FolderHandlePtr root) : m_pRoot(std::move(root)) {
        RemoveStaleTemporaries(*m_pRoot);
    }

    /// The folder `below` the target folder ("" for the target folder itself); an error when it
    /// cannot be created or opened.
    FolderHandlePtr Get(const std::string& below, IoResult& error) {
        if (below.empty()) {
            return m_pRoot;
        }
        std::lock_guard lock(m_mutex);
        for (const auto& [known, handle] : m_recent) {
            if (known == below) {
                return handle;
            }
        }
        if (const auto failed = m_failed.find(below); failed != m_failed.end()) {
            error = failed->second;
            return nullptr;
        }
        error = CreateFolders(m_pRoot->Path(), below);
        auto handle =
            error.ok() ? std::make_shared<FolderHandle>(JoinPath(m_pRoot->Path(), below)) : nullptr;
        if (handle && !handle->IsOpen()) {
            error = IoResult::Failed(IoStep::OpenFolder, handle->Error());
        }
        if (!error.ok()) {
            m_failed.emplace(below, error);
            return nullptr;
        }
        RemoveStaleTemporaries(*handle);
        // Files of one folder come together in the list, so a few open folders are plenty.
        if (m_recent.size() == kKept) {
            m_recent.erase(m_recent.begin());
        }
        m_recent.emplace_back(below, handle);
        return handle;
    }

private:
    static constexpr std::size_t kKept = 8;
    FolderHandlePtr m_pRoot;
    std::mutex m_mutex;
    std::vector<std::pair<std::string, FolderHandlePtr>> m_recent;
    std::map<std::string, IoResult> m_failed;
};

// What the run does for one front end: the list, the jobs, and the reports in order.
class Run {
public:
    Run(const RunRequest& request, const RunControl& control, RunFrontEnd& frontEnd)
        : m_request(request), m_control(control), m_frontEnd(frontEnd),
          m_converter(request.author, request.format, request.encoding, request.document,
                      request.chinese),
          m_found(request.found ? *request.found : FindRequestPaths(request)),
          m_strSource(m_found.source), m_strTarget(m_found.target) {
        m_summary.target = m_strTarget;
    }

    RunSummary Carry() {
        // The Chinese converter's dictionaries are read while the scan runs.
        std::jthread chinese;
        if (m_request.chinese != ChineseMode::Off) {
            chinese =
                std::jthread([mode = m_request.chinese] { (void)ChineseConverter::Of(mode); });
        }
        const std::vector<Job> jobs = ListJobs(ExtensionOf(m_request.format));
        if (chinese.joinable()) {
            chinese.join();
        }
        m_summary.count = static_cast<int>(jobs.size());
        if (m_bScanStopped) {
            // The number shown is that of the file that would have come next: the first.
            return Stopped(m_summary.count > 0 ? 1 : 0, 0);
        }

        if (!jobs.empty() && !m_request.checkOnly && !CreateTargetFolder()) {
            return FinishUnwritable();
        }

        // The author is in every document: what it spoils is said once.
        if (const std::optional<ScriptWarning> author = m_converter.AuthorWarning();
            author && !jobs.empty()) {
            RunProblem problem;
            problem.kind = RunProblem::Kind::Warning;
            problem.targetPath = m_strTarget;
            problem.warning = *author;
            Reported(std::move(problem));
        }

        m_nStart = TickCount();
        int percentage = 0;
        std::size_t i = 0;
        {
            // A script that may become a document of this run is left for the run to read at
            // its turn.
            Pipeline pipeline(jobs.size(), [&](std::size_t index, const std::atomic<bool>& cancel) {
                return jobs[index].readAtItsTurn ? PreparedDocument()
                                                 : Convert(jobs[index], &cancel);
            });
            for (; i < jobs.size(); ++i) {
                if (m_control.StopRequested()) {
                    break;
                }
                PreparedDocument document = pipeline.Take(i);
                if (jobs[i].readAtItsTurn) {
                    document = Convert(jobs[i], nullptr);
                }
                Report(jobs[i], document.Commit());
                const int done = static_cast<int>(i) + 1;
                percentage = Percentage(done, m_summary.count);
                m_summary.done = done;
                ShowProgress(done, percentage,
                             ElapsedText(static_cast<std::int32_t>(TickCount() - m_nStart)));
            }
        }
        if (i < jobs.size()) {
            return Stopped(static_cast<int>(i) + 1, percentage);
        }
        if (m_request.checkOnly) {
            return Finish(CheckedText(m_summary));
        }
        return Finish(CompletedText(static_cast<int>(i), m_summary.count, percentage));
    }

private:
    // Converts one file into a document nobody sees yet, or only checks it.
    PreparedDocument Convert(const Job& job, const std::atomic<bool>* cancel) {
        PreparedDocument prepared;
        if (m_request.checkOnly) {
            prepared.result = m_converter.Check(job.script);
            return prepared;
        }
        IoResult error;
        FolderHandlePtr folder = m_folders->Get(job.below, error);
        if (!folder) {
            prepared.result.io = error;
            return prepared;
        }
        return m_converter.Prepare(job.script, std::move(folder), job.name, cancel);
    }

    std::vector<Job> ListJobs(std::string_view extension) {
        std::vector<Job> jobs;
        if (m_found.sourceStatus.kind == PathKind::RegularFile) {
            // A source that names one file is a run of that one file.
            std::string name = SplitPath(m_strSource).name;
            std::string document = DocumentName(name, extension);
            std::string key = NameKey(document);
            jobs.push_back({{m_strSource, std::move(name)},
                            m_strTarget,
                            {},
                            std::move(document),
                            std::move(key)});
            return jobs;
        }
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
        const PathStatus& target = m_found.targetStatus;
        if (target.kind == PathKind::Folder && target.error == 0 &&
            !(target.identity == m_found.sourceStatus.identity)) {
            hooks.skipFolders.push_back(target.identity);
        }
        FileScanner scanner;
        scanner.Scan(ScriptScanOptions(m_strSource), hooks);
        m_bScanStopped = scanner.WasStopped();

        jobs.reserve(static_cast<std::size_t>(scanner.GetCount()));
        std::unordered_set<std::string> documentNames;
        std::string belowKey; // of the folder the jobs before this one went into
        for (int index = 0; index < scanner.GetCount(); ++index) {
            const std::string& path = scanner.PathAt(index);
            PathParts parts = SplitPath(path);
            Job job{{path, std::move(parts.name)}, m_strTarget, {}, {}, {}};
            job.name = DocumentName(job.script.name, extension);
            std::string nameKey = NameKey(job.name);
            // Keeping the tree: the document goes into the same subfolder of the target as its
            // script has below the searched folder.
            if (m_request.keepTree && parts.folder.size() > m_strSource.size() &&
                parts.folder.compare(0, m_strSource.size(), m_strSource) == 0) {
                const std::size_t below =
                    m_strSource.size() + (m_strSource.back() == kPathSeparator ? 0 : 1);
                job.below = parts.folder.substr(below);
                job.folder = JoinPath(m_strTarget, job.below);
                if (jobs.empty() || jobs.back().below != job.below) {
                    belowKey = NameKey(job.below);
                }
                job.key = JoinPath(belowKey, nameKey);
            } else {
                job.key = nameKey;
            }
            documentNames.insert(std::move(nameKey));
            jobs.push_back(std::move(job));
        }
        for (Job& job : jobs) {
            job.readAtItsTurn = documentNames.contains(NameKey(job.script.name));
        }
        return jobs;
    }

    // Only the target folder itself, as a user would create it by hand; an existing one is fine,
    // and one the request found is not made again. It is opened once, for the whole run.
    bool CreateTargetFolder() {
        IoResult failure;
        const bool exists = m_found.targetStatus.kind == PathKind::Folder;
        if (const int created = exists ? 0 : CreateFolder(m_strTarget); created != 0) {
            failure = IoResult::Failed(IoStep::CreateFolder, created);
        } else if (auto folder = std::make_shared<const FolderHandle>(m_strTarget);
                   !folder->IsOpen()) {
            failure = IoResult::Failed(IoStep::OpenFolder, folder->Error());
        } else {
            m_folders.emplace(std::move(folder));
            return true;
        }
        RunProblem problem;
        problem.kind = RunProblem::Kind::TargetFolder;
        problem.path = m_request.targetDir;
        problem.io = failure;
        Reported(std::move(problem));
        return false;
    }

    void ShowProgress(int done, int percentage, std::string elapsed) {
        RunProgress progress;
        progress.done = done;
        progress.count = m_summary.count;
        progress.percentage = percentage;
        progress.text = ProgressText(done, m_summary.count, percentage);
        progress.elapsed = std::move(elapsed);
        m_frontEnd.ShowProgress(progress);
    }

    // No file can be written: each counts as failed, but the reason is said once.
    RunSummary FinishUnwritable() {
        m_summary.failed = m_summary.count;
        m_summary.done = m_summary.count;
        ShowProgress(m_summary.count, 100, ElapsedText(0));
        return Finish(CompletedText(m_summary.count, m_summary.count, 100));
    }

    void Report(const Job& job, const ConvertResult& result) {
        const std::string target = job.Target();
        if (!result.ok()) {
            ++m_summary.failed;
            const IoStep step = result.io.step;
            if (step == IoStep::CreateFolder || step == IoStep::OpenFolder) {
                // A subfolder that cannot be made fails every file meant for it: said once, for
                // the folder.
                if (m_unwritableFolders.insert(job.folder).second) {
                    RunProblem problem;
                    problem.kind = RunProblem::Kind::TargetFolder;
                    problem.path = job.folder;
                    problem.io = result.io;
                    Reported(std::move(problem));
                }
                return;
            }
            RunProblem problem;
            problem.kind = RunProblem::Kind::Failed;
            problem.path = job.script.path;
            problem.targetPath = target;
            problem.io = result.io;
            Reported(std::move(problem));
            return;
        }
        for (const ScriptWarning& warning : result.warnings) {
            RunProblem problem;
            problem.kind = RunProblem::Kind::Warning;
            problem.path = job.script.path;
            problem.targetPath = target;
            problem.warning = warning;
            Reported(std::move(problem));
        }
        m_summary.warned += result.warnings.empty() ? 0 : 1;
        // Two sources of the same name overwrite each other in a flat target folder (on Windows
        // also names that differ in case alone), and the user must hear of it; a check says it
        // as the run would.
        auto [it, inserted] = m_writtenBy.try_emplace(job.key, job.script.path);
        if (!inserted) {
            RunProblem problem;
            problem.kind = RunProblem::Kind::Overwritten;
            problem.path = job.script.path;
            problem.otherPath = it->second;
            problem.targetPath = m_request.checkOnly ? target : StoredName(target);
            it->second = job.script.path;
            Reported(std::move(problem));
        } else if (m_request.checkOnly && !m_strTarget.empty() &&
                   WouldReplace(job.script.path, target)) {
            RunProblem problem;
            problem.kind = RunProblem::Kind::WouldReplace;
            problem.path = job.script.path;
            problem.targetPath = target;
            Reported(std::move(problem));
        }
    }

    // Whether a run would replace the document `target` that exists already (a script is never
    // replaced by its own document).
    static bool WouldReplace(const std::string& source, const std::string& target) {
        const PathStatus existing = StatPath(target);
        if (existing.kind != PathKind::RegularFile) {
            return false;
        }
        const PathStatus script = StatPath(source);
        return !(script.error == 0 && script.identity == existing.identity);
    }

    void Reported(RunProblem problem) {
        m_frontEnd.ReportProblem(problem);
        m_summary.problems.push_back(std::move(problem));
    }

    RunSummary Stopped(int next, int percentage) {
        m_summary.stopped = true;
        return Finish(StoppedText(next, m_summary.count, percentage));
    }

    RunSummary Finish(std::string status) {
        status += FailureSuffix(m_summary.failed, m_summary.unreadableFolders);
        m_summary.finalText = std::move(status);
        m_frontEnd.ShowFinished(m_summary);
        return std::move(m_summary);
    }

    const RunRequest& m_request;
    const RunControl& m_control;
    RunFrontEnd& m_frontEnd;
    const LyricConverter m_converter;
    // Both folders made canonical once, without a trailing separator, and what they named:
    // documents and the scripts they may overwrite are then named alike.
    const RequestFindings m_found;
    const std::string& m_strSource;
    const std::string& m_strTarget;
    std::optional<TargetFolders> m_folders;              ///< none in a check
    std::unordered_set<std::string> m_unwritableFolders; ///< said once each
    RunSummary m_summary;
    bool m_bScanStopped = false;
    std::uint32_t m_nStart = 0;
    // Documents written in this run (as the file system compares their names), with their
    // sources.
    std::map<std::string, std::string> m_writtenBy;
};

} // namespace

RunSummary ConvertWorker(const RunRequest& request, const RunControl& control,
                         RunFrontEnd& frontEnd) {
    return Run(request, control, frontEnd).Carry();
}

} // namespace tolvren
