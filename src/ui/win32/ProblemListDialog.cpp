#include "ui/win32/ProblemListDialog.h"

#include "dialog/ProblemList.h"
#include "files/Win32Text.h"
#include "ui/win32/Resource.h"

#include <algorithm>
#include <commctrl.h>
#include <cstring>
#include <cwchar>
#include <shlwapi.h>
#include <string>

namespace tolvren::win32 {

namespace {

// Column widths in dialog units; the reason takes the rest.
constexpr int kPathColumnWidth = 130;

// `text` into the list's buffer of `size` characters, cut short where it must be.
void CopyInto(const std::wstring& text, wchar_t* buffer, int size) {
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    std::wmemcpy(buffer, text.data(), length);
    buffer[length] = L'\0';
}

class ProblemList {
public:
    explicit ProblemList(const std::vector<RunProblem>& problems) : m_problems(problems) {}

    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
            reinterpret_cast<ProblemList*>(lParam)->OnInitDialog(hDlg);
            return TRUE;
        }
        auto* self = reinterpret_cast<ProblemList*>(::GetWindowLongPtrW(hDlg, DWLP_USER));
        return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
    }

private:
    void OnInitDialog(HWND hDlg) {
        m_hWnd = hDlg;
        m_hList = ::GetDlgItem(hDlg, IDC_PROBLEM_LIST);
        ListView_SetExtendedListViewStyle(m_hList, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP |
                                                       LVS_EX_DOUBLEBUFFER);
        RECT widths{0, 0, kPathColumnWidth, 0};
        ::MapDialogRect(hDlg, &widths);
        RECT list;
        ::GetClientRect(m_hList, &list);
        for (int column = 0; column < kProblemColumnCount; ++column) {
            std::wstring heading = Widen(ProblemHeading(static_cast<ProblemColumn>(column)));
            LVCOLUMNW info{};
            info.mask = LVCF_TEXT | LVCF_WIDTH;
            info.pszText = heading.data();
            info.cx = column + 1 < kProblemColumnCount
                          ? widths.right
                          : list.right - 2 * widths.right - ::GetSystemMetrics(SM_CXVSCROLL);
            ListView_InsertColumn(m_hList, column, &info);
        }
        ListView_SetItemCountEx(m_hList, static_cast<int>(m_problems.size()), 0);

        // Where the list and the buttons stand against the lower right corner, kept on resizing.
        ::GetClientRect(hDlg, &m_rcInitial);
        for (const int id : {IDC_PROBLEM_LIST, IDC_COPY, IDOK}) {
            RECT rc;
            ::GetWindowRect(::GetDlgItem(hDlg, id), &rc);
            ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
            m_rcControls[id == IDC_PROBLEM_LIST ? 0 : id == IDC_COPY ? 1 : 2] = rc;
        }
        ::GetWindowRect(hDlg, &m_rcMinimum);
    }

    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_COPY) {
                CopyToClipboard();
            } else if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                ::EndDialog(m_hWnd, IDOK);
            }
            return TRUE;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_SIZE:
            Layout(LOWORD(lParam), HIWORD(lParam));
            return TRUE;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {m_rcMinimum.right - m_rcMinimum.left,
                                    m_rcMinimum.bottom - m_rcMinimum.top};
            return TRUE;
        }
        default:
            return FALSE;
        }
    }

    INT_PTR OnNotify(const NMHDR& header) {
        if (header.hwndFrom != m_hList) {
            return FALSE;
        }
        if (header.code == LVN_GETDISPINFOW) {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header))->item;
            if ((item.mask & LVIF_TEXT) != 0 && item.cchTextMax > 0 && item.iItem >= 0 &&
                static_cast<std::size_t>(item.iItem) < m_problems.size()) {
                const auto column = static_cast<ProblemColumn>(item.iSubItem);
                const std::wstring text =
                    Widen(ProblemCell(m_problems[static_cast<std::size_t>(item.iItem)], column));
                CopyInto(text, item.pszText, item.cchTextMax);
                if (column != ProblemColumn::Reason) {
                    FitPath(item.pszText, item.iSubItem);
                }
            }
            return TRUE;
        }
        if (header.code == LVN_GETINFOTIPW) {
            auto& tip = *reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header));
            if (tip.cchTextMax > 0 && tip.iItem >= 0 &&
                static_cast<std::size_t>(tip.iItem) < m_problems.size()) {
                std::wstring text;
                for (int column = 0; column < kProblemColumnCount; ++column) {
                    text += Widen(ProblemCell(m_problems[static_cast<std::size_t>(tip.iItem)],
                                              static_cast<ProblemColumn>(column))) +
                            (column + 1 < kProblemColumnCount ? L"\n" : L"");
                }
                CopyInto(text, tip.pszText, tip.cchTextMax);
            }
            return TRUE;
        }
        if (header.code == LVN_KEYDOWN &&
            reinterpret_cast<const NMLVKEYDOWN*>(&header)->wVKey == 'C' &&
            ::GetKeyState(VK_CONTROL) < 0) {
            CopyToClipboard();
            return TRUE;
        }
        return FALSE;
    }

    // A path too long for its column keeps its file name and loses folders in the middle
    // ("C:\songs\...\情歌.ksc"); the whole row shows when the pointer rests on it, and is copied.
    void FitPath(wchar_t* path, int column) const {
        const HDC dc = ::GetDC(m_hList);
        const HGDIOBJ previous =
            ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(m_hList, WM_GETFONT, 0, 0)));
        constexpr int kCellMargin = 12; // the list's own padding on both sides
        ::PathCompactPathW(
            dc, path, static_cast<UINT>(ListView_GetColumnWidth(m_hList, column) - kCellMargin));
        ::SelectObject(dc, previous);
        ::ReleaseDC(m_hList, dc);
    }

    void Layout(int width, int height) {
        const int dx = width - (m_rcInitial.right - m_rcInitial.left);
        const int dy = height - (m_rcInitial.bottom - m_rcInitial.top);
        const RECT& list = m_rcControls[0];
        ::MoveWindow(m_hList, list.left, list.top, list.right - list.left + dx,
                     list.bottom - list.top + dy, TRUE);
        for (const auto& [id, index] : {std::pair{IDC_COPY, 1}, std::pair{IDOK, 2}}) {
            const RECT& rc = m_rcControls[index];
            ::MoveWindow(::GetDlgItem(m_hWnd, id), rc.left + dx, rc.top + dy, rc.right - rc.left,
                         rc.bottom - rc.top, TRUE);
        }
    }

    void CopyToClipboard() const {
        std::vector<std::size_t> rows;
        for (int row = ListView_GetNextItem(m_hList, -1, LVNI_SELECTED); row >= 0;
             row = ListView_GetNextItem(m_hList, row, LVNI_SELECTED)) {
            rows.push_back(static_cast<std::size_t>(row));
        }
        // Lines end in CR LF on the Windows clipboard.
        std::wstring text;
        for (const wchar_t c : Widen(CopiedProblems(m_problems, std::move(rows)))) {
            if (c == L'\n') {
                text += L'\r';
            }
            text += c;
        }
        const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
        if (memory == nullptr) {
            return;
        }
        std::memcpy(::GlobalLock(memory), text.c_str(), bytes);
        ::GlobalUnlock(memory);
        if (::OpenClipboard(m_hWnd) == 0) {
            ::GlobalFree(memory);
            return;
        }
        ::EmptyClipboard();
        if (::SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
            ::GlobalFree(memory);
        }
        ::CloseClipboard();
    }

    const std::vector<RunProblem>& m_problems;
    HWND m_hWnd = nullptr;
    HWND m_hList = nullptr;
    RECT m_rcInitial{};
    RECT m_rcMinimum{};
    RECT m_rcControls[3]{}; ///< the list, 复制 and 关闭 as the template places them
};

} // namespace

void ShowProblemList(HINSTANCE instance, HWND owner, const std::vector<RunProblem>& problems) {
    ProblemList list(problems);
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROBLEMS), owner, &ProblemList::DialogProc,
                      reinterpret_cast<LPARAM>(&list));
}

} // namespace tolvren::win32
