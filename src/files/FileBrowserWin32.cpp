// Showing a folder in Explorer.

#include "files/FileBrowser.h"
#include "files/Win32Text.h"

#include <cerrno>
#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

namespace tolvren {

OpenFolderResult OpenInFileBrowser(const std::string& folder) {
    using Outcome = OpenFolderResult::Outcome;
    constexpr const char* kProgram = "Explorer";
    bool valid = true;
    const std::wstring wide = Widen(folder, &valid);
    if (!valid) {
        return {Outcome::CannotStart, EILSEQ, kProgram};
    }
    // The folder goes to the shell as it is, never inside a command line: a comma or a quote in
    // its name cannot make it something else.
    const HRESULT initialized = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = wide.c_str();
    info.nShow = SW_SHOWNORMAL;
    const bool shown = ::ShellExecuteExW(&info) != 0;
    const DWORD error = ::GetLastError();
    if (SUCCEEDED(initialized)) {
        ::CoUninitialize();
    }
    if (!shown) {
        return {Outcome::CannotStart, ErrnoFromWin32(error), kProgram};
    }
    return {};
}

} // namespace tolvren
