#pragma once

// Real temporary folder trees for tests: made under $TMPDIR, removed with everything in them.

#include "support/Platform.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tolvren::test {

class TestTree {
public:
    TestTree() : m_root(MakeTemporaryFolder()) {}
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;
    ~TestTree() { RemoveTree(m_root); }

    const std::string& Root() const { return m_root; }
    /// `relative` ('/' between its folders) under the root, as the engine names it.
    std::string Path(std::string relative) const {
        std::replace(relative.begin(), relative.end(), '/', kSeparator);
        return m_root + kSeparator + relative;
    }

    /// Writes `bytes` to `relative`, creating its folders.
    std::string Write(const std::string& relative, const std::string& bytes = "x",
                      int mode = 0644) const {
        const std::string path = Path(relative);
        std::filesystem::create_directories(FsPath(path).parent_path());
        std::ofstream(FsPath(path), std::ios::binary) << bytes;
        SetMode(path, mode);
        return path;
    }

    std::string MakeFolder(const std::string& relative, int mode = 0755) const {
        const std::string path = Path(relative);
        std::filesystem::create_directories(FsPath(path));
        SetMode(path, mode);
        return path;
    }

    void Link(const std::string& target, const std::string& relative) const {
        std::filesystem::create_symlink(FsPath(target), FsPath(Path(relative)));
    }

    /// The sorted names in folder `relative` ("" for the root).
    std::vector<std::string> Names(const std::string& relative = "") const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(FsPath(Path(relative)), ec)) {
            names.push_back(TextOf(e.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(FsPath(path), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static bool Exists(const std::string& path) { return test::Exists(path); }

private:
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
