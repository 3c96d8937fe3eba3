#pragma once

#include "batch/RunState.h"

#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace tolvren::test {

// Records every call the worker makes, as one line each; lets a test act on a call.
class RecordingFrontEnd : public RunFrontEnd {
public:
    bool kmc = true;
    bool openTarget = false;
    std::vector<std::string> calls;
    std::function<void(const std::string&)> onCall;

    bool IsKmcChecked() override { return Record("kmc?"), kmc; }
    bool IsOpenTargetChecked() override { return Record("open?"), openTarget; }
    void SetProgressRange(int lower, int upper) override {
        Record("range " + std::to_string(lower) + " " + std::to_string(upper));
    }
    void SetProgressPos(int pos) override { Record("pos " + std::to_string(pos)); }
    void SetProgressText(const std::string& text) override { Record("text " + text); }
    void UpdateElapsed(const std::string& elapsed) override {
        static const std::regex kElapsed("-?[0-9]+毫秒");
        Record(std::regex_match(elapsed, kElapsed) ? "elapsed" : "elapsed?? " + elapsed);
    }
    void SetStartEnabled(bool on) override { Record(on ? "start on" : "start off"); }
    void SetStopEnabled(bool on) override { Record(on ? "stop on" : "stop off"); }
    void ReportProblem(const RunProblem& p) override {
        Record(p.kind == RunProblem::Kind::Failed ? "failed " + p.path : "overwritten " + p.path);
    }
    void OpenFolder(const std::string& folder) override { Record("open " + folder); }
    void CloseAfterRun() override { Record("close"); }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& c : calls) {
            if (c.rfind("text ", 0) == 0) {
                texts.push_back(c.substr(5));
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

} // namespace tolvren::test
