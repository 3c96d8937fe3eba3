#pragma once

#include <string>

namespace tolvren {

/// How a path text is taken apart.
enum class PathStyle {
    Windows, ///< drive letters, '\\' and '/' separate, enclosing double quotes are removed
    Posix,   ///< only '/' separates; every other byte is ordinary; paths come back byte for byte
};

/// The pieces of one found file's path: drive, directory, name and extension. Kept as the
/// system has always had it; a run takes its paths apart with SplitPath instead.
/// Built in place from a path text; never copied. No operation fails: an empty text gives an
/// entry whose pieces are all empty.
///
/// Windows style: enclosing double quotes are removed, the drive is "X:" when the second byte is
/// a colon, the directory has every '/' turned into '\\', and the extension is dropped when the
/// name is empty (".ksc" gives nothing back; "x." gives "x").
/// POSIX style: GetPath() is the text the entry was built from and GetNameExt() its last
/// component, byte for byte, whatever the name looks like (".ksc", "x.ksc.", "a\\b:c").
/// Its Name() is the last component up to its last full stop and Extension() what follows that
/// full stop (".ksc": empty name, extension "ksc").
/// Paths of any length are taken whole in both styles.
class FileEntry {
public:
    explicit FileEntry(const char* path, PathStyle style = PathStyle::Posix);
    explicit FileEntry(const std::string& path, PathStyle style = PathStyle::Posix);
    FileEntry(const FileEntry&) = delete;
    FileEntry& operator=(const FileEntry&) = delete;
    virtual ~FileEntry();

    std::string GetPath() const;     ///< location followed by name with extension
    const char* GetPathText();       ///< GetPath() kept in the entry; valid until the next call
    std::string GetLocation() const; ///< drive followed by directory
    std::string GetNameExt() const;  ///< name followed by GetDotExt()
    std::string GetDotExt() const;   ///< "." + extension, or "" without one

    const std::string& Drive() const;
    const std::string& Directory() const;
    const std::string& Name() const;
    const std::string& Extension() const;

private:
    std::string m_strDrive;
    std::string m_strDirectory;
    std::string m_strName;
    std::string m_strExtension;
    std::string m_strPathText;
    // The last component held a full stop. Only the POSIX style looks at it, so that "x." and
    // ".ksc" come back whole.
    bool m_bHasDot = false;
    PathStyle m_style;
};

/// `text` with a separator appended unless it is empty or already ends in '\\' or '/':
/// a slash when `forwardSlash` is non-zero, a backslash otherwise.
std::string AddTrailingSeparator(const std::string& text, int forwardSlash);

/// Which separator AddTrailingSeparator appends.
enum class Separator {
    Backslash,
    ForwardSlash,
    Native, ///< the platform's own (kPathSeparator)
};
std::string AddTrailingSeparator(const std::string& text, Separator separator);

} // namespace tolvren
