// FileEntry on arbitrary path bytes in both styles. The POSIX style must give the path back
// unchanged; the Windows style must never produce more bytes than it was given, bar the
// backslash that AddTrailingSeparator may add.
#include "files/FileEntry.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace tolvren;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);

    FileEntry posix(path);
    if (posix.GetPath() != path) {
        std::abort();
    }
    const std::size_t slash = path.rfind('/');
    if (posix.GetNameExt() != path.substr(slash == std::string::npos ? 0 : slash + 1)) {
        std::abort();
    }
    // The worker builds a second entry from the first one's C text.
    const std::string cText = path.substr(0, path.find('\0'));
    if (FileEntry(posix.GetPathText()).GetPath() != cText) {
        std::abort();
    }

    FileEntry windows(path, PathStyle::Windows);
    const std::string rebuilt = windows.GetPath();
    if (rebuilt.size() > path.size() || windows.GetNameExt().size() > rebuilt.size()) {
        std::abort();
    }
    FileEntry again(windows.GetPathText(), PathStyle::Windows);
    (void)again.GetPath();

    const std::string withSeparator = AddTrailingSeparator(path, static_cast<int>(size & 1));
    if (withSeparator.size() > path.size() + 1) {
        std::abort();
    }
    return 0;
}
