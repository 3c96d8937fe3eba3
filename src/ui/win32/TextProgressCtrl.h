#pragma once

#include <string>
#include <windows.h>

namespace tolvren::win32 {

/// The main window's progress bar (a msctls_progress32 control of the template, subclassed), which
/// paints itself: the filled part in the highlight colour, the rest in the window colour, and one
/// centred line of text (the caption, or the percentage while there is no caption) in the colour
/// that contrasts with whatever lies under each piece of it, composed off-screen so that it does
/// not flicker. Repaints are kept to what the eye can see: a new position repaints only when the
/// filled width moves by at least one pixel, a caption only when it changes.
class TextProgressCtrl {
public:
    TextProgressCtrl();
    ~TextProgressCtrl();
    TextProgressCtrl(const TextProgressCtrl&) = delete;
    TextProgressCtrl& operator=(const TextProgressCtrl&) = delete;

    /// Takes over the control `hWnd` (from the dialog's WM_INITDIALOG) until it is destroyed.
    void Attach(HWND hWnd);
    HWND GetSafeHwnd() const { return m_hWnd; }

    /// Stores the bounds; nothing is redrawn. Painting needs lower < upper.
    void SetRange(int lower, int upper);
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
    double Fraction() const;
    int FilledWidth(int width) const;
    std::wstring DisplayText() const;

    HWND m_hWnd = nullptr;
    int m_nPosition = 0;
    int m_nUpper = 100;
    int m_nLower = 0;
    std::wstring m_strCaption;
    int m_nLastBarWidth = -1; ///< filled width at the last repaint request; -1: none yet

    // Read once: the text colours are the fill colours swapped, so they always contrast.
    COLORREF m_crBar;
    COLORREF m_crBack;
    COLORREF m_crTextOnBack;
    COLORREF m_crTextOnBar;
};

} // namespace tolvren::win32
