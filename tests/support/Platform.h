#pragma once

// What the tests need of the operating system beyond the standard library, one implementation
// per platform (PlatformPosix.cpp, PlatformWin32.cpp).

#include <filesystem>
#include <string>

namespace tolvren::test {

/// A path of the tests (UTF-8 text; on Linux any bytes) as the standard library takes it, and
/// back.
std::filesystem::path FsPath(const std::string& path);
std::string TextOf(const std::filesystem::path& path);

/// The separator the platform writes between folders, as the engine names its paths.
extern const char kSeparator;

/// A new empty folder under the system's folder for temporary files (TMPDIR, TEMP).
std::string MakeTemporaryFolder();
/// Removes `path` with everything in it, locked folders and trees deeper than a path can name
/// included.
void RemoveTree(const std::string& path);
/// Sets the permission bits (read-only where the platform has nothing more).
void SetMode(const std::string& path, int mode);
/// Whether anything, a link that leads nowhere included, stands at `path`.
bool Exists(const std::string& path);
/// Makes a FIFO at `path`; false where the platform has none.
bool MakeFifo(const std::string& path);
/// Sets the environment variable `name` as std::getenv reads it; "" removes it.
void SetEnvironment(const char* name, const std::string& value);

} // namespace tolvren::test
