#pragma once

// Real temporary folder trees for tests: made under $TMPDIR, removed with everything in them.

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tolvren::test {

class TestTree {
public:
    TestTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tolvren-test-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_root = pattern;
    }
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;
    ~TestTree() { RemoveAt(AT_FDCWD, m_root.c_str()); }

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& relative) const { return m_root + "/" + relative; }

    /// Writes `bytes` to `relative`, creating its folders.
    std::string Write(const std::string& relative, const std::string& bytes = "x",
                      mode_t mode = 0644) const {
        const std::string path = Path(relative);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        ::chmod(path.c_str(), mode);
        return path;
    }

    std::string MakeFolder(const std::string& relative, mode_t mode = 0755) const {
        const std::string path = Path(relative);
        std::filesystem::create_directories(path);
        ::chmod(path.c_str(), mode);
        return path;
    }

    void Link(const std::string& target, const std::string& relative) const {
        std::filesystem::create_symlink(target, Path(relative));
    }

    /// The sorted names in folder `relative` ("" for the root).
    std::vector<std::string> Names(const std::string& relative = "") const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(Path(relative), ec)) {
            names.push_back(e.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static bool Exists(const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    }

private:
    // Removes through descriptors, opening locked folders first, so that trees deeper than one
    // path can name go too.
    static void RemoveAt(int parent, const char* name) {
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

    std::string m_root;
};

/// Makes `folder` the process's working folder until it goes out of scope, also when an assertion
/// returns early, so that the tests after it in the same process start where they would have.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string& folder)
        : m_previous(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    ~WorkingFolder() {
        std::error_code ec;
        std::filesystem::current_path(m_previous, ec);
    }

private:
    std::filesystem::path m_previous;
};

} // namespace tolvren::test
