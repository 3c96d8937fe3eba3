#pragma once

// One run of the real worker over a fresh tree: sources under src/, documents into out/, every
// call to the front end recorded.

#include "batch/RunState.h"
#include "support/RecordingFrontEnd.h"
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

struct WorkerRun {
    TestTree tree;
    RecordingFrontEnd frontEnd;
    RunState run;

    WorkerRun() {
        run.m_strSourceDir = tree.Path("src");
        run.m_strTargetDir = tree.Path("out");
        run.m_strAuthor = "作者";
        run.m_pFrontEnd = &frontEnd;
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
    void Start() {
        run.PrepareStart();
        ConvertWorker(run);
    }
    /// Acts once the worker shows the progress text `text` (between two files).
    void OnText(const std::string& text, std::function<void()> act) {
        frontEnd.onCall = [text, act](const std::string& call) {
            if (call == "text " + text) {
                act();
            }
        };
    }
    std::vector<std::string> FailedPaths() const {
        std::vector<std::string> paths;
        for (const auto& p : run.m_problems) {
            if (p.kind == RunProblem::Kind::Failed && !p.reason.empty()) {
                paths.push_back(p.path);
            }
        }
        return paths;
    }
    /// Dot names in the target folder: what a document write may have left behind half-way.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(run.m_strTargetDir, ec)) {
            if (e.path().filename().string().rfind('.', 0) == 0) {
                names.push_back(e.path().filename());
            }
        }
        return names;
    }
};

} // namespace tolvren::test
