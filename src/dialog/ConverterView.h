#pragma once

#include "batch/RunState.h"
#include "dialog/AssChoices.h"
#include "dialog/DialogChoices.h"

#include <string>
#include <vector>

namespace tolvren {

/// What the dialog's controller asks of a window; each toolkit's ConverterDialog is one. The
/// window draws, routes its messages to the controller and keeps what only its toolkit knows
/// (layout, painting, the folder picker, the settings store); every decision is the controller's.
///
/// Texts are UTF-8; the path boxes' texts are paths as the engine takes them (on Linux the file
/// system's bytes). Everything is called on the window's thread except PostRunReturned.
class ConverterView {
public:
    /// The texts the controller keeps in fields of its own (UpdateData).
    enum class Field { SourceDir, TargetDir, Author, Shift, Elapsed };

    virtual ~ConverterView() = default;

    virtual std::string GetText(Field field) const = 0;
    virtual void SetText(Field field, const std::string& text) = 0;
    /// Selects the source box's whole text, so that typing replaces it.
    virtual void SelectSource() = 0;
    virtual DialogOptions GetOptions() const = 0;
    virtual void SetOptions(const DialogOptions& options) = 0;
    /// Enables the controls of a format's options (LRC 样式, 时间平移, ASS 选项…) as told.
    virtual void EnableOptions(const OptionStates& states) = 0;

    /// The bar (TextProgressCtrl): its position, and its caption.
    virtual void SetPos(int pos) = 0;
    virtual void SetBarText(const std::string& text) = 0;
    /// The bar's tooltip; "" shows none.
    virtual void SetProblemTip(const std::string& text) = 0;
    /// During a run Stop is enabled and Start is not; otherwise the other way round.
    virtual void SetRunning(bool running) = 0;
    virtual void EnableDetails(bool enable) = 0;
    /// From now on the controller's OnFrame once a frame (16 ms), or no more.
    virtual void SetFrameTimer(bool on) = 0;
    /// On the worker's thread, once its run has returned: only posts, so that the window's thread
    /// calls the controller's OnRunFinished.
    virtual void PostRunReturned() = 0;

    /// The folder picker, modal, opening in `startFolder` unless it is ""; "" when cancelled.
    virtual std::string PickFolder(const std::string& startFolder) = 0;
    /// A message box over the window, titled as the window is; returns once it is closed.
    virtual void ShowWarning(const std::string& text) = 0;
    /// ASS 选项…: the window of the ASS choices, modal, showing `choices`; true when closed with
    /// 确定, `choices` then holding what the user picked.
    virtual bool EditAssOptions(AssChoices& choices) = 0;
    /// 详情…: the list of a run's problems.
    virtual void ShowProblems(const std::vector<RunProblem>& problems) = 0;
    /// Closes the window; only ever called when no run is left.
    virtual void CloseWindow() = 0;
};

} // namespace tolvren
