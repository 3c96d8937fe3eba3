// tolvren.exe [OPTION]... [FOLDER]: the converter's window. With FOLDER, it opens with FOLDER as
// the source and its kmc subfolder as the target, as when the folder is browsed to (Explorer's
// "用 Tolvren 转换" starts it so).
#include "dialog/CommandLineInfo.h"
#include "files/Win32Text.h"
#include "ui/win32/ConverterDialog.h"
#include "ui/win32/RegistryChoiceStore.h"
#include "ui/win32/Resource.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <vector>
#include <windows.h>

namespace {

constexpr int kExitUsage = 2;
constexpr const char* kProgram = "tolvren.exe";
constexpr const char* kMore =
    "The command-line tool tolvren-cli.exe converts without a window. Without a\n"
    "console, this help and a usage error are shown in a message box.\n";

// The arguments as UTF-8, without the program's name.
std::vector<std::string> Arguments() {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; args != nullptr && i < count; ++i) {
        std::wstring arg = args[i];
        // Explorer hands a drive's background over as "D:\" in quotes, which the rules of the
        // command line read as D:" (a backslash before a quote escapes it).
        if (!arg.empty() && arg.back() == L'"') {
            arg.back() = L'\\';
        }
        arguments.push_back(tolvren::Narrow(arg));
    }
    ::LocalFree(args);
    return arguments;
}

// `text` on standard output or error when the program has one (a console, a pipe, a file), with
// Windows' line ends; else in a message box. False when it could not be written.
bool Say(DWORD stream, const std::string& text, const std::wstring& boxText, UINT icon) {
    const HANDLE handle = ::GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        ::MessageBoxW(nullptr, boxText.c_str(), L"Tolvren", MB_OK | icon);
        return true;
    }
    std::string lines;
    for (const char c : text) {
        lines += c == '\n' ? "\r\n" : std::string(1, c);
    }
    DWORD written = 0;
    return ::WriteFile(handle, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) !=
               0 &&
           written == lines.size();
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    using Action = tolvren::CommandLineInfo::Action;
    const tolvren::CommandLineInfo info = tolvren::ParseCommandLine(Arguments());
    if (info.action == Action::ShowHelp || info.action == Action::ShowVersion) {
        const std::string text = info.action == Action::ShowHelp
                                     ? tolvren::HelpText(kProgram, kMore)
                                     : tolvren::VersionText();
        return Say(STD_OUTPUT_HANDLE, text, tolvren::Widen(text), MB_ICONINFORMATION) ? 0 : 1;
    }
    if (info.action == Action::UsageError) {
        const std::string text = tolvren::UsageErrorText(kProgram, info.usageError);
        wchar_t usage[256] = {};
        ::LoadStringW(instance, IDS_USAGE, usage, 256);
        Say(STD_ERROR_HANDLE, text, tolvren::Widen(text) + L"\n" + usage, MB_ICONERROR);
        return kExitUsage;
    }
    // The folder dialog is a COM object of the shell, on this thread.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                            ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    tolvren::win32::RegistryChoiceStore store;
    tolvren::win32::ConverterDialog dialog(instance, store);
    if (!dialog.Create()) {
        return 1;
    }
    if (info.folder) {
        dialog.Controller().OpenFolder(*info.folder);
    }
    // The window closes only when no run is left (an Exit during one waits for the worker).
    const int status = dialog.RunMessageLoop();
    ::CoUninitialize();
    return status;
}
