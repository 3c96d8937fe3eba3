// The terminal on Windows: the console's own UTF-16, or UTF-8 into a pipe or a file.

#include "cli/Terminal.h"
#include "files/Win32Text.h"

#include <io.h>
#include <windows.h>

namespace tolvren {

namespace {

// The console a stream writes to, or null when it writes to a pipe or a file.
HANDLE ConsoleOf(std::FILE* stream) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the C runtime hands the HANDLE over as an integer
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0 ? handle
                                                                                  : nullptr;
}

} // namespace

Terminal::Terminal() {
    // The progress line is redrawn with VT sequences (carriage return, erase to the end of the
    // line), which a Windows 10 console follows once asked to.
    for (std::FILE* stream : {stdout, stderr}) {
        if (const HANDLE console = ConsoleOf(stream); console != nullptr) {
            DWORD mode = 0;
            ::GetConsoleMode(console, &mode);
            ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
        }
    }
}

std::optional<std::string> Terminal::ToUtf8(std::string_view text) const {
    return std::string(text); // arguments arrive as UTF-16 and are UTF-8 by now
}

void Terminal::Write(std::FILE* stream, std::string_view text) const {
    const HANDLE console = ConsoleOf(stream);
    if (console == nullptr) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    // Whatever the console's code page, UTF-16 shows Chinese right.
    std::fflush(stream);
    const std::wstring wide = Widen(text);
    DWORD written = 0;
    ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

void Terminal::WritePath(std::FILE* stream, std::string_view path) const {
    Write(stream, path); // names are UTF-8 text here
}

bool Terminal::IsTerminal(std::FILE* stream) const {
    return ConsoleOf(stream) != nullptr;
}

} // namespace tolvren
