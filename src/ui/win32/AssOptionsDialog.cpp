#include "ui/win32/AssOptionsDialog.h"

#include "batch/Messages.h"
#include "files/Win32Text.h"
#include "ui/win32/Resource.h"

#include <algorithm>
#include <cmath>
#include <commctrl.h>
#include <commdlg.h>
#include <string>

namespace tolvren::win32 {

namespace {

COLORREF ColourRef(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::uint32_t RgbOf(COLORREF colour) {
    return (std::uint32_t{GetRValue(colour)} << 16) | (std::uint32_t{GetGValue(colour)} << 8) |
           GetBValue(colour);
}

std::wstring ItemText(HWND dialog, int id) {
    std::wstring text(
        static_cast<std::size_t>(::GetWindowTextLengthW(::GetDlgItem(dialog, id))) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetDlgItemTextW(dialog, id, text.data(), static_cast<int>(text.size()))));
    return text;
}

// What the window is showing, and the colours the colour picker offers besides them.
struct Window {
    AssChoices choices;
    COLORREF custom[16] = {};
};

// The font and colour buttons and the sample show the choices.
void ShowPicks(HWND dialog, const AssChoices& choices) {
    ::SetDlgItemTextW(dialog, IDC_ASS_FONT, Widen(choices.font).c_str());
    for (const auto& [id, rgb] :
         {std::pair{IDC_ASS_SUNG, choices.sung}, {IDC_ASS_UNSUNG, choices.unsung}}) {
        wchar_t text[8] = {};
        ::swprintf(text, 8, L"#%06X", static_cast<unsigned>(rgb));
        ::SetDlgItemTextW(dialog, id, text);
    }
    ::InvalidateRect(::GetDlgItem(dialog, IDC_ASS_SAMPLE), nullptr, FALSE);
}

// The sample line on a dark ground, as a video shows it: outlined, the left half sung and the
// right not yet, the colours split at one edge as the progress bar splits its text.
void PaintSample(const DRAWITEMSTRUCT& item, const AssChoices& choices) {
    const AssSampleLook look = SampleLookOf(choices);
    const RECT rc = item.rcItem;
    const SampleSize size = SampleSizeOf(look, rc.bottom - rc.top);
    HDC dc = item.hDC;
    ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    HFONT font = ::CreateFontW(-std::max(1, static_cast<int>(size.font)), 0, 0, 0,
                               look.bold ? FW_BOLD : FW_NORMAL, look.italic ? TRUE : FALSE, FALSE,
                               FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               ANTIALIASED_QUALITY, DEFAULT_PITCH, Widen(look.fontName).c_str());
    const HGDIOBJ previous = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    const std::wstring text = Widen(std::string(AssSampleText()));
    const int length = static_cast<int>(text.size());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), length, &extent);
    const int x = rc.left + (rc.right - rc.left - extent.cx) / 2;
    const int y = rc.top + (rc.bottom - rc.top - extent.cy) / 2;
    const int outline = std::max(1, static_cast<int>(std::lround(size.outline)));
    ::SetTextColor(dc, ColourRef(look.outline.rgb));
    for (int dx = -outline; dx <= outline; dx += outline) {
        for (int dy = -outline; dy <= outline; dy += outline) {
            ::TextOutW(dc, x + dx, y + dy, text.c_str(), length);
        }
    }
    const int split = x + extent.cx / 2;
    for (const auto& [left, right, rgb] :
         {std::tuple{rc.left, split, look.sung.rgb}, {split, rc.right, look.unsung.rgb}}) {
        const int saved = ::SaveDC(dc);
        ::IntersectClipRect(dc, left, rc.top, right, rc.bottom);
        ::SetTextColor(dc, ColourRef(rgb));
        ::TextOutW(dc, x, y, text.c_str(), length);
        ::RestoreDC(dc, saved);
    }
    ::SelectObject(dc, previous);
    ::DeleteObject(font);
}

void OnInit(HWND dialog, const AssChoices& choices) {
    for (const std::string& entry : AssRowEntries()) {
        ::SendDlgItemMessageW(dialog, IDC_ASS_ROWS, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    }
    ::SendDlgItemMessageW(dialog, IDC_ASS_ROWS, CB_SETCURSEL, static_cast<WPARAM>(choices.rows), 0);
    ::SendDlgItemMessageW(dialog, IDC_ASS_SIZE_SPIN, UDM_SETRANGE32, 1, kAssMaxFontSize);
    ::SetDlgItemInt(dialog, IDC_ASS_SIZE, static_cast<UINT>(choices.size), FALSE);
    const std::wstring byScript = Widen(std::string(AssByScriptText()));
    for (const auto& [id, text] :
         {std::pair{IDC_ASS_LEAD, &choices.lead}, {IDC_ASS_LINGER, &choices.linger}}) {
        ::SetDlgItemTextW(dialog, id, Widen(*text).c_str());
        ::SendDlgItemMessageW(dialog, id, EM_SETCUEBANNER, TRUE,
                              reinterpret_cast<LPARAM>(byScript.c_str()));
    }
    ::CheckDlgButton(dialog, IDC_ASS_TITLE, choices.titleCard ? BST_CHECKED : BST_UNCHECKED);
    ShowPicks(dialog, choices);
}

// The size box's number; 0, which is refused and said, when it holds none.
int SizeOf(HWND dialog) {
    BOOL number = FALSE;
    const UINT size = ::GetDlgItemInt(dialog, IDC_ASS_SIZE, &number, FALSE);
    return number != FALSE ? static_cast<int>(size) : 0;
}

// What the controls hold now, besides the font and the colours that the pickers keep.
void ReadControls(HWND dialog, AssChoices& choices) {
    choices.size = SizeOf(dialog);
    choices.rows =
        static_cast<int>(::SendDlgItemMessageW(dialog, IDC_ASS_ROWS, CB_GETCURSEL, 0, 0));
    choices.lead = Narrow(ItemText(dialog, IDC_ASS_LEAD));
    choices.linger = Narrow(ItemText(dialog, IDC_ASS_LINGER));
    choices.titleCard = ::IsDlgButtonChecked(dialog, IDC_ASS_TITLE) == BST_CHECKED;
}

void PickFont(HWND dialog, AssChoices& choices) {
    LOGFONTW font{};
    const std::wstring name = Widen(choices.font).substr(0, LF_FACESIZE - 1);
    std::copy(name.begin(), name.end(), font.lfFaceName);
    font.lfCharSet = DEFAULT_CHARSET;
    CHOOSEFONTW choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = dialog;
    choose.lpLogFont = &font;
    // The size is the document's, in its frame's pixels: the window's own box sets it.
    choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_NOSIZESEL;
    if (::ChooseFontW(&choose) != FALSE) {
        choices.font = Narrow(font.lfFaceName);
        ShowPicks(dialog, choices);
    }
}

void PickColour(HWND dialog, Window& window, std::uint32_t& colour) {
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = dialog;
    choose.rgbResult = ColourRef(colour);
    choose.lpCustColors = window.custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (::ChooseColorW(&choose) != FALSE) {
        colour = RgbOf(choose.rgbResult);
        ShowPicks(dialog, window.choices);
    }
}

INT_PTR CALLBACK AssOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        OnInit(dialog, reinterpret_cast<Window*>(lParam)->choices);
        return TRUE;
    }
    auto* window = reinterpret_cast<Window*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (window == nullptr) {
        return FALSE;
    }
    AssChoices& choices = window->choices;
    switch (message) {
    case WM_DRAWITEM:
        PaintSample(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), choices);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ASS_FONT:
            PickFont(dialog, choices);
            return TRUE;
        case IDC_ASS_SUNG:
        case IDC_ASS_UNSUNG:
            PickColour(dialog, *window,
                       LOWORD(wParam) == IDC_ASS_SUNG ? choices.sung : choices.unsung);
            return TRUE;
        case IDC_ASS_SIZE:
            if (HIWORD(wParam) == EN_CHANGE) {
                choices.size = SizeOf(dialog);
                ShowPicks(dialog, choices);
            }
            return TRUE;
        case IDOK:
            ReadControls(dialog, choices);
            ::EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

} // namespace

bool EditAssOptions(HINSTANCE instance, HWND owner, AssChoices& choices) {
    Window window{choices};
    if (::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ASS_OPTIONS), owner, &AssOptionsProc,
                          reinterpret_cast<LPARAM>(&window)) != IDOK) {
        return false;
    }
    choices = window.choices;
    return true;
}

} // namespace tolvren::win32
