// Waits for a setup's components page and says whether its labels fit the list: "fits", or
// "scrolls" when the list must scroll sideways to show one. For tests/installer/run.sh, which
// builds it with the cross compiler and runs it under wine beside the setup. Gives up after a
// minute, with status 1.
#include <cstdio>
#include <string_view>
#include <windows.h>

namespace {

BOOL CALLBACK FindList(HWND window, LPARAM found) {
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    if (::IsWindowVisible(window) && std::wstring_view(className) == L"SysTreeView32") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK SearchWindow(HWND window, LPARAM found) {
    if (::IsWindowVisible(window)) {
        ::EnumChildWindows(window, FindList, found);
    }
    return *reinterpret_cast<HWND*>(found) == nullptr;
}

} // namespace

int main() {
    HWND list = nullptr;
    for (int i = 0; i < 600 && list == nullptr; ++i) {
        ::Sleep(100);
        ::EnumWindows(SearchWindow, reinterpret_cast<LPARAM>(&list));
    }
    if (list == nullptr) {
        std::fputs("probe: no components page within a minute\n", stderr);
        return 1;
    }
    ::Sleep(300); // laid out
    std::puts((::GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL) != 0 ? "scrolls" : "fits");
    return 0;
}
