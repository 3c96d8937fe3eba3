#pragma once

// Real temporary folder trees for tests: made under $TMPDIR, removed with everything in them.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

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
    ~TestTree() {
        std::error_code ec;
        // Restore permissions first so nothing a test locked stays behind.
        for (auto it = std::filesystem::recursive_directory_iterator(m_root, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                ::chmod(it->path().c_str(), 0755);
            }
        }
        std::filesystem::remove_all(m_root, ec);
    }

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& relative) const { return m_root + "/" + relative; }

    /// Writes `bytes` to `relative`, creating its folders.
    std::string Write(const std::string& relative, const std::string& bytes) const {
        const std::string path = Path(relative);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::string MakeFolder(const std::string& relative) const {
        const std::string path = Path(relative);
        std::filesystem::create_directories(path);
        return path;
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
    std::string m_root;
};

} // namespace tolvren::test
