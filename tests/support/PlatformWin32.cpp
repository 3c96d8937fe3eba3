#include "support/Platform.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <windows.h>

namespace tolvren::test {

const char kSeparator = '\\';

std::filesystem::path FsPath(const std::string& path) {
    return std::u8string(path.begin(), path.end());
}

std::string TextOf(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::string MakeTemporaryFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("tolvren-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(folder)) {
            return TextOf(folder);
        }
    }
    throw std::runtime_error("no temporary folder");
}

void RemoveTree(const std::string& path) {
    // Through "\\?\", so that trees deeper than the old path limit go too; read-only files first
    // made writable.
    const std::filesystem::path root = L"\\\\?\\" + FsPath(path).wstring();
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(root, error);
}

void SetMode(const std::string& path, int mode) {
    const std::wstring wide = FsPath(path).wstring();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        ::SetFileAttributesW(wide.c_str(), (mode & 0200) != 0
                                               ? attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}
                                               : attributes | FILE_ATTRIBUTE_READONLY);
    }
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesW(FsPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeFifo(const std::string& /*path*/) {
    return false;
}

void SetEnvironment(const char* name, const std::string& value) {
    ::_putenv_s(name, value.c_str()); // "" removes it
}

} // namespace tolvren::test
