#pragma once

#include "batch/DialogChoices.h"
#include "batch/RunMonitor.h"
#include "ui/win32/TextProgressCtrl.h"

#include <shellapi.h>
#include <string>
#include <windows.h>

namespace tolvren::win32 {

/// The main window (template IDD_CONVERTER): source and target folders, author, output format,
/// the scripts' encoding, and a run of the batch worker on a thread of its own with its progress
/// and its problems.
///
/// The window shows a run through a RunMonitor: a 16 ms timer on the window's thread shows the
/// newest state, and when the worker returns, a posted message brings the window to take the
/// run's summary and show the final state exactly. "Open the target folder" and "close the
/// window" are carried out then, read from the check box and the exit request at that moment.
/// The window opens with the choices it was closed with and keeps them again when it closes;
/// nothing is kept during a run.
class ConverterDialog {
public:
    ConverterDialog(HINSTANCE instance, RunMonitor::RunFunction run, ChoiceStore& store);
    /// Asks a running worker to stop after its current file and waits for it.
    ~ConverterDialog();
    ConverterDialog(const ConverterDialog&) = delete;
    ConverterDialog& operator=(const ConverterDialog&) = delete;

    /// Creates the window with the kept choices; `sourceFolder`, when given, is taken as
    /// browsing to it does. False when the window could not be made.
    bool Create(const std::wstring& sourceFolder);
    HWND GetSafeHwnd() const { return m_hWnd; }
    /// Runs the window until it has closed: the dialog keys (Tab, Enter, Esc, mnemonics) and F1.
    int RunMessageLoop();
    /// A message box over the window, titled as the window is.
    void ShowWarning(const std::string& text);

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK DropProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(int id);
    void OnBrowseSource();
    void OnBrowseTarget();
    void OnStart();
    void OnStop();
    /// Exit, Esc and the close box: closes at once when idle; during a run asks the worker to end
    /// after the current file, and the window closes when it has.
    void OnCancel();
    void OnAbout();
    void OnDetails();
    void OnDropFiles(HDROP drop);
    void ShowSnapshot();
    void OnRunFinished();

    /// Which way the folder and author texts go between the boxes and the fields.
    enum class Exchange { FromControls, ToControls };
    void UpdateData(Exchange direction);
    void ApplySourceFolder(const std::wstring& folder);
    void ApplyChoices(const DialogChoices& choices);
    DialogChoices CurrentChoices();
    /// Keeps the choices for the next launch and closes the window.
    void Close();
    bool IsChecked(int id) const;
    /// Start or Stop enabled, the other not.
    void SetRunning(bool running);
    void SetProblemTip(const std::wstring& text);

    HINSTANCE m_hInstance;
    ChoiceStore& m_store;
    HWND m_hWnd = nullptr;
    HWND m_hToolTip = nullptr;
    HACCEL m_hAccelerators = nullptr;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    std::wstring m_strSourceDir;
    std::wstring m_strTargetDir;
    std::wstring m_strAuthor;
    std::wstring m_strProblemTip;  ///< the bar's tooltip, which holds on to the text
    std::wstring m_strGivenFolder; ///< the command line's folder, taken when the window opens
    TextProgressCtrl m_progress;
    RunMonitor m_monitor;
    RunSummary m_summary; ///< the last run's, once it has ended
};

} // namespace tolvren::win32
