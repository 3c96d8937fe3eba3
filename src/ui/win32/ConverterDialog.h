#pragma once

#include "dialog/ConverterController.h"
#include "ui/win32/TextProgressCtrl.h"

#include <shellapi.h>
#include <string>
#include <windows.h>

namespace tolvren::win32 {

/// The main window (template IDD_CONVERTER): source and target folders, author, output format and
/// its options, the scripts' encoding and Chinese script, and a run of the batch worker with its
/// progress and its problems. It routes its messages to its ConverterController, which decides
/// everything, and draws what it is told; its frame timer is a WM_TIMER, and the worker's return
/// reaches it as a posted message.
class ConverterDialog : private ConverterView {
public:
    ConverterDialog(HINSTANCE instance, ChoiceStore& store,
                    ConverterController::RunFunction run = &ConvertWorker);
    ~ConverterDialog() override;
    ConverterDialog(const ConverterDialog&) = delete;
    ConverterDialog& operator=(const ConverterDialog&) = delete;

    /// Creates the window with the kept choices; false when it could not be made.
    bool Create();
    HWND GetSafeHwnd() const { return m_hWnd; }
    ConverterController& Controller() { return m_controller; }
    /// Runs the window until it has closed: the dialog keys (Tab, Enter, Esc, mnemonics) and F1.
    int RunMessageLoop();

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK DropProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(int id);
    void OnDropFiles(HDROP drop);
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }

    std::string GetText(Field field) const override;
    void SetText(Field field, const std::string& text) override;
    void SelectSource() override;
    DialogOptions GetOptions() const override;
    void SetOptions(const DialogOptions& options) override;
    void EnableOptions(const OptionStates& states) override;
    void SetPos(int pos) override;
    void SetBarText(const std::string& text) override;
    void SetProblemTip(const std::string& text) override;
    void SetRunning(bool running) override;
    void EnableDetails(bool enable) override;
    void SetFrameTimer(bool on) override;
    void PostRunReturned() override;
    std::string PickFolder(const std::string& startFolder) override;
    void ShowWarning(const std::string& text) override;
    bool EditAssOptions(AssChoices& choices) override;
    void ShowProblems(const std::vector<RunProblem>& problems) override;
    void CloseWindow() override;

    HINSTANCE m_hInstance;
    HWND m_hWnd = nullptr;
    /// The window as it was made, never changed: the worker's thread posts to it, also once it
    /// has gone, which Windows refuses harmlessly.
    HWND m_hPostTarget = nullptr;
    HWND m_hToolTip = nullptr;
    HACCEL m_hAccelerators = nullptr;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    std::wstring m_strProblemTip; ///< the bar's tooltip, which holds on to the text
    TextProgressCtrl m_progress;
    /// Destroyed first: a run still going when the dialog goes (its message loop ended some
    /// other way) ends after its current file, before anything it shows to is gone.
    ConverterController m_controller;
};

} // namespace tolvren::win32
