#pragma once

#include "dialog/BarModel.h"

#include <string>
#include <windows.h>

namespace tolvren::win32 {

/// The main window's progress bar (a msctls_progress32 control of the template, subclassed), which
/// paints itself from a BarModel: the filled part in the highlight colour, the rest in the window
/// colour, and one centred line of text (the caption, or the percentage while there is no caption)
/// in the colour that contrasts with whatever lies under each piece of it, composed off-screen so
/// that it does not flicker. It repaints only when the model says the eye would see a change.
class TextProgressCtrl {
public:
    TextProgressCtrl();
    ~TextProgressCtrl();
    TextProgressCtrl(const TextProgressCtrl&) = delete;
    TextProgressCtrl& operator=(const TextProgressCtrl&) = delete;

    /// Takes over the control `hWnd` (from the dialog's WM_INITDIALOG) until it is destroyed.
    void Attach(HWND hWnd);
    HWND GetSafeHwnd() const { return m_hWnd; }

    /// Stores `pos` and repaints at once if the filled width in pixels changed. Returns the
    /// previous position, or -1 (nothing stored) before the control is attached.
    int SetPos(int pos);
    /// The caption drawn instead of the percentage (WM_SETTEXT); "" brings the percentage back.
    void SetWindowText(const std::wstring& text);

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();

    HWND m_hWnd = nullptr;
    BarModel m_model;

    // Read once: the text colours are the fill colours swapped, so they always contrast.
    COLORREF m_crBar;
    COLORREF m_crBack;
    COLORREF m_crTextOnBack;
    COLORREF m_crTextOnBar;
};

} // namespace tolvren::win32
