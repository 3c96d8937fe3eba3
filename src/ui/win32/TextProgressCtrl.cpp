#include "ui/win32/TextProgressCtrl.h"

#include "files/Win32Text.h"

#include <algorithm>
#include <commctrl.h>
#include <cwchar>

namespace tolvren::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 1;
// The frame around the bar, in pixels.
constexpr int kFrameWidth = 1;

// An off-screen image of a client area: drawn on in the window's own coordinates, copied to the
// screen in one piece when it goes.
class MemoryDC {
public:
    MemoryDC(HDC target, const RECT& area)
        : m_hTarget(target), m_rcArea(area), m_hDC(::CreateCompatibleDC(target)),
          m_hBitmap(
              ::CreateCompatibleBitmap(target, area.right - area.left, area.bottom - area.top)) {
        m_hPrevious = ::SelectObject(m_hDC, m_hBitmap);
        ::SetWindowOrgEx(m_hDC, area.left, area.top, nullptr);
    }
    ~MemoryDC() {
        ::BitBlt(m_hTarget, m_rcArea.left, m_rcArea.top, m_rcArea.right - m_rcArea.left,
                 m_rcArea.bottom - m_rcArea.top, m_hDC, m_rcArea.left, m_rcArea.top, SRCCOPY);
        ::SelectObject(m_hDC, m_hPrevious);
        ::DeleteObject(m_hBitmap);
        ::DeleteDC(m_hDC);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const { return m_hDC; }

private:
    HDC m_hTarget;
    RECT m_rcArea;
    HDC m_hDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hPrevious = nullptr;
};

void Fill(HDC dc, const RECT& rc, COLORREF colour) {
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

} // namespace

TextProgressCtrl::TextProgressCtrl()
    : m_crBar(::GetSysColor(COLOR_HIGHLIGHT)), m_crBack(::GetSysColor(COLOR_WINDOW)),
      m_crTextOnBack(m_crBar), m_crTextOnBar(m_crBack) {}

TextProgressCtrl::~TextProgressCtrl() {
    if (m_hWnd != nullptr) {
        ::RemoveWindowSubclass(m_hWnd, &SubclassProc, kSubclassId);
    }
}

void TextProgressCtrl::Attach(HWND hWnd) {
    m_hWnd = hWnd;
    ::SetWindowSubclass(hWnd, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

int TextProgressCtrl::SetPos(int pos) {
    if (m_hWnd == nullptr) {
        return -1;
    }
    const int previous = m_model.GetPos();
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    if (m_model.SetPos(pos, rc.right - rc.left - 2 * kFrameWidth)) {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    return previous;
}

void TextProgressCtrl::SetWindowText(const std::wstring& text) {
    ::SetWindowTextW(m_hWnd, text.c_str());
}

LRESULT CALLBACK TextProgressCtrl::SubclassProc(HWND hWnd, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR self) {
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hWnd, &SubclassProc, kSubclassId);
        reinterpret_cast<TextProgressCtrl*>(self)->m_hWnd = nullptr;
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    }
    return reinterpret_cast<TextProgressCtrl*>(self)->OnMessage(message, wParam, lParam);
}

LRESULT TextProgressCtrl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT: {
        const LRESULT result = ::DefSubclassProc(m_hWnd, message, wParam, lParam);
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        if (m_model.SetCaption(text == nullptr ? std::string() : Narrow(text))) {
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
        }
        return result;
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(Widen(m_model.Caption()).size());
    case WM_GETTEXT: {
        // The caption, not the template's "Progress1" that the native control still holds.
        const auto size = static_cast<std::size_t>(wParam);
        auto* buffer = reinterpret_cast<wchar_t*>(lParam);
        if (size == 0 || buffer == nullptr) {
            return 0;
        }
        const std::wstring caption = Widen(m_model.Caption());
        const std::size_t length = std::min(size - 1, caption.size());
        std::wmemcpy(buffer, caption.data(), length);
        buffer[length] = L'\0';
        return static_cast<LRESULT>(length);
    }
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_SIZE:
        m_model.Resized();
        break;
    case WM_PAINT:
        OnPaint();
        return 0;
    default:
        break;
    }
    return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
}

void TextProgressCtrl::OnPaint() {
    PAINTSTRUCT paint;
    const HDC target = ::BeginPaint(m_hWnd, &paint);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    // The bar inside a one-pixel frame of its own: the themed control's frame is part of the
    // painting this replaces.
    RECT rc = client;
    ::InflateRect(&rc, -kFrameWidth, -kFrameWidth);
    if (m_model.HasRange() && rc.right > rc.left && rc.bottom > rc.top) {
        const MemoryDC dc(target, client);
        const HBRUSH frame = ::GetSysColorBrush(COLOR_BTNSHADOW);
        ::FrameRect(dc.Get(), &client, frame);
        RECT filled = rc;
        filled.right = rc.left + m_model.FilledWidth(rc.right - rc.left);
        RECT empty = rc;
        empty.left = filled.right;
        Fill(dc.Get(), filled, m_crBar);
        Fill(dc.Get(), empty, m_crBack);

        // The window's font, not the device context's bitmap font: the bar's text scales with
        // the rest of the window.
        const auto font =
            reinterpret_cast<HFONT>(::SendMessageW(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
        const HGDIOBJ previousFont = font != nullptr ? ::SelectObject(dc.Get(), font) : nullptr;
        ::SetBkMode(dc.Get(), TRANSPARENT);
        // The same line is drawn twice, each time clipped to one part, so the colour change falls
        // exactly on the bar's edge, even in the middle of a glyph. No prefix: a path in an error
        // text may hold "&".
        std::wstring text = Widen(m_model.DisplayText());
        for (const auto& [part, colour] :
             {std::pair{filled, m_crTextOnBar}, std::pair{empty, m_crTextOnBack}}) {
            if (part.right <= part.left) {
                continue;
            }
            const int saved = ::SaveDC(dc.Get());
            ::IntersectClipRect(dc.Get(), part.left, part.top, part.right, part.bottom);
            ::SetTextColor(dc.Get(), colour);
            RECT whole = rc;
            ::DrawTextW(dc.Get(), text.data(), static_cast<int>(text.size()), &whole,
                        DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            ::RestoreDC(dc.Get(), saved);
        }
        if (previousFont != nullptr) {
            ::SelectObject(dc.Get(), previousFont);
        }
    }
    ::EndPaint(m_hWnd, &paint);
}

} // namespace tolvren::win32
