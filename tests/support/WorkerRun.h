#pragma once

// One run of the real worker over a fresh tree: sources under src/, documents into out/, every
// call to the front end recorded as one line.

#include "batch/ConvertWorker.h"
#include "support/TestTree.h"

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace tolvren::test {

/// A small script in GBK: title 歌名 = Song and one lyric line.
inline const std::string kSong = "karaoke.tag('\xB8\xE8\xC3\xFB', 'Song');\r\n"
                                 "karaoke.add('00:01.000', '00:02.000', 'la', '500,500');\r\n";

/// Records what the worker shows: "scan", "progress 1/3  33% @33", "failed PATH", "warning PATH",
/// "overwritten PATH", "folder PATH", "finished TEXT". Scan reports are recorded once however
/// many come.
class RecordingFrontEnd : public RunFrontEnd {
public:
    std::vector<std::string> calls;
    std::function<void(const std::string&)> onCall;

    void ShowScan(int, int) override {
        if (calls.empty() || calls.back() != "scan") {
            Record("scan");
        }
    }
    void ShowProgress(const RunProgress& p) override {
        Record("progress " + p.text + "@" + std::to_string(p.percentage));
    }
    void ReportProblem(const RunProblem& p) override {
        static const char* const kinds[] = {"failed ", "overwritten ", "warning ", "folder ",
                                            "target ", "not a file ",  "exists "};
        Record(kinds[static_cast<int>(p.kind)] + p.path);
    }
    void ShowFinished(const RunSummary& s) override { Record("finished " + s.finalText); }

    /// The texts the bar showed: each file's, then the final one.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const std::string& call : calls) {
            if (call.starts_with("progress ")) {
                texts.push_back(call.substr(9, call.rfind('@') - 9));
            } else if (call.starts_with("finished ")) {
                texts.push_back(call.substr(9));
            }
        }
        return texts;
    }

private:
    void Record(const std::string& call) {
        calls.push_back(call);
        if (onCall) {
            onCall(call);
        }
    }
};

struct WorkerRun {
    TestTree tree;
    RecordingFrontEnd frontEnd;
    RunRequest request;
    RunControl control;
    RunSummary summary;

    WorkerRun() {
        request.sourceDir = tree.Path("src");
        request.targetDir = tree.Path("out");
        request.author = "作者";
    }
    /// src/1000.ksc, src/1001.ksc, ...
    void AddSongs(int n) {
        for (int i = 0; i < n; ++i) {
            tree.Write("src/" + std::to_string(1000 + i) + ".ksc", kSong);
        }
    }
    void Songs(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            tree.Write(std::string("src/") + name, kSong);
        }
    }
    const RunSummary& Start() {
        control.Reset();
        summary = ConvertWorker(request, control, frontEnd);
        return summary;
    }
    /// Acts when the front end is shown `call` (e.g. "progress 3/10  30% @30").
    void On(const std::string& call, std::function<void()> act) {
        frontEnd.onCall = [call, act](const std::string& seen) {
            if (seen == call) {
                act();
            }
        };
    }
    std::vector<std::string> FailedPaths() const {
        std::vector<std::string> paths;
        for (const RunProblem& p : summary.problems) {
            if (p.kind == RunProblem::Kind::Failed) {
                paths.push_back(p.path);
            }
        }
        return paths;
    }
    /// The documents in out/ (names), and apart from them what a write may have left behind.
    std::vector<std::string> Documents() const { return Names(false); }
    std::vector<std::string> Leftovers() const { return Names(true); }

private:
    std::vector<std::string> Names(bool hidden) const {
        std::vector<std::string> names;
        for (const std::string& name : tree.Names("out")) {
            if (name.starts_with('.') == hidden) {
                names.push_back(name);
            }
        }
        return names;
    }
};

} // namespace tolvren::test
