#include "support/Platform.h"

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tolvren::test {

const char kSeparator = '/';

namespace {

// Removes through descriptors, opening locked folders first, so that trees deeper than one path
// can name go too.
void RemoveAt(int parent, const char* name) {
    struct stat st {};
    if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        ::fchmodat(parent, name, 0700, 0);
        const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (dir != nullptr) {
            std::vector<std::string> names;
            while (const dirent* item = ::readdir(dir)) {
                if (std::string(item->d_name) != "." && std::string(item->d_name) != "..") {
                    names.emplace_back(item->d_name);
                }
            }
            for (const std::string& child : names) {
                RemoveAt(::dirfd(dir), child.c_str());
            }
            ::closedir(dir);
        } else if (fd >= 0) {
            ::close(fd);
        }
    }
    ::unlinkat(parent, name, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0);
}

} // namespace

std::filesystem::path FsPath(const std::string& path) {
    return path;
}

std::string TextOf(const std::filesystem::path& path) {
    return path.native();
}

std::string MakeTemporaryFolder() {
    std::string pattern = std::filesystem::temp_directory_path() / "tolvren-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    return pattern;
}

void RemoveTree(const std::string& path) {
    RemoveAt(AT_FDCWD, path.c_str());
}

void SetMode(const std::string& path, int mode) {
    ::chmod(path.c_str(), static_cast<mode_t>(mode));
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool MakeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0644) == 0;
}

void SetEnvironment(const char* name, const std::string& value) {
    if (value.empty()) {
        ::unsetenv(name);
    } else {
        ::setenv(name, value.c_str(), 1);
    }
}

} // namespace tolvren::test
