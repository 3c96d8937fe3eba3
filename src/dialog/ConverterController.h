#pragma once

#include "batch/ConvertWorker.h"
#include "dialog/ConverterView.h"
#include "dialog/DialogChoices.h"
#include "dialog/RunMonitor.h"
#include "files/FileBrowser.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tolvren {

/// Every decision of the converter's window, for both toolkits: the choices and the request a
/// run is started with, why a run cannot start, the proposed target, what FOLDER, a browse and a
/// drop do, Start, Stop, Exit and the close box, what a frame shows during a run, the end of a
/// run, and the choices kept between launches. The window (a ConverterView) routes its events
/// here and draws what it is told.
///
/// A run goes through a RunMonitor: the window's frame timer shows the newest state, and when the
/// worker returns the window is posted to, and OnRunFinished shows the final state exactly.
/// "Open the target folder" and "close the window" are carried out then, read from the check box
/// and the exit request at that moment. A controller destroyed during a run asks it to end after
/// its current file and waits for it.
class ConverterController {
public:
    /// ConvertWorker; tests pass their own.
    using RunFunction = RunMonitor::RunFunction;
    /// Shows a folder in the desktop's file browser; tests pass their own.
    using FolderOpener = std::function<OpenFolderResult(const std::string& folder)>;

    ConverterController(ConverterView& view, ChoiceStore& store, RunFunction run = &ConvertWorker,
                        FolderOpener openFolder = &OpenInFileBrowser);
    ConverterController(const ConverterController&) = delete;
    ConverterController& operator=(const ConverterController&) = delete;

    /// The window is up: it shows the kept choices, its source selected, Start enabled.
    void OnInitDialog();
    /// The folder FOLDER from the command line names, as a path or a file:// URL, cleaned as
    /// the source box shows it; nothing when it names none.
    static std::optional<std::string> FolderOfArgument(const std::string& given);
    /// FOLDER taken as browsing to it does. One that names no folder is said in a message box,
    /// and nothing changes.
    bool OpenFolder(const std::string& given);
    void OnBrowseSource();
    void OnBrowseTarget();
    /// Whether a drop of `paths` is taken: one folder, nothing else.
    static bool AcceptsDrop(std::span<const std::string> paths);
    /// A drop on the source box: a folder is taken as browsing to it does.
    void OnDrop(std::span<const std::string> paths);

    /// Another format was chosen: the controls of the options it takes are enabled, the others
    /// not.
    void OnFormatChanged();

    /// ASS 选项…: the ASS choices in their window. Picks that are refused are said, and the
    /// window opens again with them; 取消 leaves the choices as they were.
    void OnAssOptions();

    /// Takes the boxes (a leading "~" as HOME), the author and the options into a request and
    /// starts the worker. When the request cannot run, nothing starts: the bar says why in short
    /// and, when there is more to say (the path, the cause), a message box says all of it.
    void OnStart();
    void OnStop();
    /// Exit, Esc and the close box: closes at once when idle; during a run asks the worker to end
    /// after the current file, and the window closes when it has.
    void OnCancel();
    /// 详情…: the last run's problems, once it has ended.
    void OnDetails();
    /// The frame timer: the newest state of the run.
    void OnFrame();
    /// Posted once the worker has returned (ConverterView::PostRunReturned).
    void OnRunFinished();

    /// Whether a worker thread exists (from Start until it has returned and been joined).
    bool IsRunActive() const { return m_monitor.IsActive(); }

    /// Which way the folder, author and elapsed texts go between the window and the fields. A
    /// box shows a control character as its picture ("␊"), and reads the picture back as it.
    enum class Exchange {
        FromControls, ///< the boxes' texts into the fields
        ToControls,   ///< the fields into the boxes, where they differ
    };
    void UpdateData(Exchange direction);

private:
    void ApplySourceFolder(const std::string& folder);
    /// Where the picker for the box `field` opens: its folder, when it names one.
    std::string StartFolder(ConverterView::Field field) const;
    void Refuse(const std::string& said, const std::string& reason);
    DialogChoices CurrentChoices();
    /// Keeps the choices for the next launch (saying so when they cannot be) and closes.
    void Close();

    ConverterView& m_view;
    ChoiceStore& m_store;
    FolderOpener m_openFolder;
    std::string m_strSourceDir;
    std::string m_strTargetDir;
    std::string m_strElapsed;
    std::string m_strAuthor;
    std::string m_strShift;
    AssOptions m_ass;
    RunMonitor m_monitor;
    RunSummary m_summary; ///< the last run's, once it has ended
};

} // namespace tolvren
