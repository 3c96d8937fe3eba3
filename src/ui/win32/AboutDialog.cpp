#include "ui/win32/AboutDialog.h"

#include "files/Win32Text.h"
#include "ui/win32/Resource.h"

namespace tolvren::win32 {

namespace {

INT_PTR CALLBACK AboutDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_INITDIALOG:
        ::SetDlgItemTextW(hDlg, IDC_ABOUT_VERSION,
                          (L"Tolvren 版本 " + Widen(TOLVREN_VERSION)).c_str());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(hDlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void ShowAboutDialog(HINSTANCE instance, HWND owner) {
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, &AboutDialogProc, 0);
}

} // namespace tolvren::win32
