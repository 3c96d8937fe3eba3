// tolvren.exe [FOLDER]: the converter's window. With FOLDER, it opens with FOLDER as the source
// and its kmc subfolder as the target, as when the folder is browsed to (Explorer's "用 Tolvren
// 转换" starts it so).
#include "batch/ConvertWorker.h"
#include "batch/Messages.h"
#include "files/Win32Text.h"
#include "ui/win32/ConverterDialog.h"
#include "ui/win32/RegistryChoiceStore.h"
#include "ui/win32/Resource.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

namespace {

constexpr int kExitUsage = 2;

// What the command line asks of the window.
struct CommandLine {
    std::wstring folder;     ///< absolute; empty when none was given
    std::wstring notAFolder; ///< the argument as given, when it names no folder
    bool usageError = false; ///< more than one argument
};

CommandLine ReadCommandLine() {
    CommandLine line;
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (args == nullptr || count < 2) {
        ::LocalFree(args);
        return line;
    }
    std::wstring given = args[1];
    line.usageError = count > 2;
    ::LocalFree(args);
    // Explorer hands a drive's background over as "D:\" in quotes, which the rules of the
    // command line read as D:" (a backslash before a quote escapes it).
    if (!given.empty() && given.back() == L'"') {
        given.back() = L'\\';
    }
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()),
                                                full.data(), nullptr);
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    const DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (given.empty() || full.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        line.notAFolder = given;
    } else {
        line.folder = full;
    }
    return line;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    const CommandLine line = ReadCommandLine();
    if (line.usageError) {
        wchar_t usage[256] = {};
        ::LoadStringW(instance, IDS_USAGE, usage, 256);
        ::MessageBoxW(nullptr, usage, L"Tolvren", MB_OK | MB_ICONERROR);
        return kExitUsage;
    }
    // The folder dialog is a COM object of the shell, on this thread.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                            ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    tolvren::win32::RegistryChoiceStore store;
    tolvren::win32::ConverterDialog dialog(instance, &tolvren::ConvertWorker, store);
    if (!dialog.Create(line.folder)) {
        return 1;
    }
    if (!line.notAFolder.empty()) {
        dialog.ShowWarning(tolvren::DescribeNotAFolder(tolvren::Narrow(line.notAFolder),
                                                       tolvren::Language::Chinese));
    }
    // The window closes only when no run is left (an Exit during one waits for the worker).
    const int status = dialog.RunMessageLoop();
    ::CoUninitialize();
    return status;
}
