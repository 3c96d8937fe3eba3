// Asks the running Tolvren window what it shows, for tests/windialog/run.sh. Built there with the
// cross compiler and run under wine beside tolvren.exe:
//   probe window TITLE        waits until a visible window titled TITLE exists
//   probe gone TITLE          waits until no window is titled TITLE
//   probe menu                waits until a menu is open
//   probe clipboard           the text on the clipboard
//   probe text NAME           the text of the main window's control NAME (source, bar, …)
//   probe state NAME          "checked" or "unchecked", then "enabled" or "disabled"
//   probe focus               the focused control's name and its selection: "source 0 12"
//   probe rect NAME           where NAME is on the screen: "X Y WIDTH HEIGHT"
//   probe wait-text NAME      waits until NAME shows a text, then prints it
//   probe wait-idle           waits until Start is enabled and Stop is not, then prints the bar
// Texts are printed in UTF-8. A wait gives up after a minute, with status 1.
#include "Resource.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <windows.h>

namespace {

constexpr const wchar_t* kMainTitle = L"Tolvren 批量转换器";

constexpr std::pair<const wchar_t*, int> kControls[] = {
    {L"source", IDC_SOURCE_DIR}, {L"target", IDC_TARGET_DIR},   {L"author", IDC_AUTHOR},
    {L"format", IDC_FORMAT},     {L"lrc-style", IDC_LRC_STYLE}, {L"ass", IDC_ASS_OPTIONS},
    {L"shift", IDC_SHIFT},       {L"chinese", IDC_CHINESE},     {L"encoding", IDC_ENCODING},
    {L"open", IDC_OPEN_TARGET},  {L"start", IDC_START},         {L"stop", IDC_STOP},
    {L"exit", IDCANCEL},         {L"details", IDC_DETAILS},     {L"bar", IDC_PROGRESS},
    {L"elapsed", IDC_ELAPSED}};

int Id(const std::wstring& name) {
    for (const auto& [known, id] : kControls) {
        if (name == known) {
            return id;
        }
    }
    std::fprintf(stderr, "probe: no control named %ls\n", name.c_str());
    std::exit(2);
}

std::wstring Name(int id) {
    for (const auto& [known, control] : kControls) {
        if (id == control) {
            return known;
        }
    }
    return std::to_wstring(id);
}

void Print(const std::wstring& text) {
    std::string utf8(static_cast<std::size_t>(text.size()) * 4 + 1, '\0');
    utf8.resize(static_cast<std::size_t>(
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(),
                              static_cast<int>(utf8.size()), nullptr, nullptr)));
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
}

// Polls `done` until it holds; a minute at most.
template <typename Condition>
bool WaitFor(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

HWND Main() {
    HWND main = nullptr;
    if (!WaitFor([&main] { return (main = ::FindWindowW(L"#32770", kMainTitle)) != nullptr; })) {
        std::fputs("probe: no Tolvren window\n", stderr);
        std::exit(1);
    }
    return main;
}

std::wstring Text(HWND control) {
    wchar_t buffer[4096] = {};
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, 5000, &length);
    return std::wstring(buffer, length);
}

bool Enabled(HWND main, int id) {
    return ::IsWindowEnabled(::GetDlgItem(main, id)) != 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const std::wstring arg = argc > 2 ? argv[2] : L"";
    if (command == L"window" || command == L"gone") {
        const bool wanted = command == L"window";
        return WaitFor([&] {
            const HWND found = ::FindWindowW(nullptr, arg.c_str());
            return (found != nullptr && ::IsWindowVisible(found) != 0) == wanted;
        })
                   ? 0
                   : 1;
    }
    if (command == L"menu") {
        return WaitFor([] {
            const HWND menu = ::FindWindowW(L"#32768", nullptr);
            return menu != nullptr && ::IsWindowVisible(menu) != 0;
        })
                   ? 0
                   : 1;
    }
    if (command == L"clipboard") {
        if (::OpenClipboard(nullptr) == 0) {
            return 1;
        }
        const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
        if (data != nullptr) {
            Print(static_cast<const wchar_t*>(::GlobalLock(data)));
            ::GlobalUnlock(data);
        }
        ::CloseClipboard();
        return data != nullptr ? 0 : 1;
    }
    const HWND main = Main();
    if (command == L"text") {
        Print(Text(::GetDlgItem(main, Id(arg))));
    } else if (command == L"state") {
        const HWND control = ::GetDlgItem(main, Id(arg));
        const bool checked = ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
        Print(std::wstring(checked ? L"checked " : L"unchecked ") +
              (::IsWindowEnabled(control) != 0 ? L"enabled" : L"disabled"));
    } else if (command == L"focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(main, nullptr), &info);
        const auto selection = static_cast<DWORD>(::SendMessageW(info.hwndFocus, EM_GETSEL, 0, 0));
        Print(Name(::GetDlgCtrlID(info.hwndFocus)) + L" " + std::to_wstring(LOWORD(selection)) +
              L" " + std::to_wstring(HIWORD(selection)));
    } else if (command == L"rect") {
        RECT rc{};
        ::GetWindowRect(::GetDlgItem(main, Id(arg)), &rc);
        Print(std::to_wstring(rc.left) + L" " + std::to_wstring(rc.top) + L" " +
              std::to_wstring(rc.right - rc.left) + L" " + std::to_wstring(rc.bottom - rc.top));
    } else if (command == L"wait-text") {
        const HWND control = ::GetDlgItem(main, Id(arg));
        std::wstring text;
        const bool shown = WaitFor([&] { return !(text = Text(control)).empty(); });
        Print(text);
        return shown ? 0 : 1;
    } else if (command == L"wait-idle") {
        if (!WaitFor([main] { return Enabled(main, IDC_START) && !Enabled(main, IDC_STOP); })) {
            return 1;
        }
        Print(Text(::GetDlgItem(main, IDC_PROGRESS)));
    } else {
        std::fputs("probe: unknown command\n", stderr);
        return 2;
    }
    return 0;
}
