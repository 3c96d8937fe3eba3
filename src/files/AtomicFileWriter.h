#pragma once

#include "files/FileSystem.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

// Writing a document so that its name never shows a half-written file and a failure never
// destroys the document it would replace. One implementation of the platform's part per platform
// (AtomicFileWriterPosix.cpp, AtomicFileWriterWin32.cpp).

namespace tolvren {

/// Writes a document where nobody sees it until it is complete: on Linux into an unnamed file in
/// the target's folder (O_TMPFILE), or where the file system has none (and always on Windows)
/// into a temporary ".<name>.tolvren-tmp-XXXXXX", which takes the target's name only in Commit.
/// Whatever fails, and whenever the writer is dropped before Commit, the file is gone and an
/// existing target is as it was. From its creation until it has its name, a named temporary is
/// held open so that no other run takes it for one left behind (see RemoveStaleTemporaries).
class AtomicFileWriter {
public:
    /// `folder` is the target's folder, `name` the document's name in it.
    AtomicFileWriter(FolderHandlePtr folder, std::string name);
    /// The same for a target path, whose folder it opens itself.
    explicit AtomicFileWriter(const std::string& targetPath);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// Creates the file the document is written to.
    IoResult Open();
    /// Writes `bytes` unchanged (buffered). After a failure, further writes are ignored.
    void Write(std::string_view bytes);
    /// Writing stops with IoCause::Cancelled once `*cancel` is true.
    void SetCancel(const std::atomic<bool>* cancel) { m_pCancel = cancel; }
    /// Writes what is buffered. The document is then complete but not yet visible.
    IoResult Finish();
    /// Finishes and gives the document its name. An existing target is replaced and keeps who
    /// may read it; a target that is the script `source` itself, a folder, or a file its owner
    /// protected against writing is refused and stays as it was.
    IoResult Commit(const FileIdentity* source = nullptr);

    /// Whether temporary files get a name only once complete (O_TMPFILE on Linux). On by default
    /// where the file system allows; tests switch it off to cover file systems without it.
    static void UseUnnamedFiles(bool use);
    /// Whether the platform has unnamed files at all (Windows has none).
    static bool HasUnnamedFiles();

private:
    IoResult Fail(IoResult result);
    void Flush();

    // The platform's part.
    IoResult CreateTemporary();
    IoResult WriteOut(std::string_view bytes);
    IoResult CloseTemporary();
    IoResult Publish(const FileIdentity* source);
    void Discard();

    FolderHandlePtr m_pFolder;
    std::string m_strName;
    std::string m_strTempName; ///< Linux: the named temporary, when there is one
    std::wstring m_wstrTarget; ///< Windows: the document's path as system calls take it
    std::string m_buffer;
    IoResult m_error;
    const std::atomic<bool>* m_pCancel = nullptr;
    /// The temporary's descriptor or handle; once it is written, one that only holds it.
    std::intptr_t m_hFile = -1;
    int m_nRegistration = -1; ///< its slot among the temporaries removed on a second Ctrl-C
    bool m_bFinished = false;
    bool m_bCommitted = false;
};

/// Removes the named temporaries that writers hold right now. Safe to call from a signal handler
/// (or a console control handler), just before the process ends.
void RemoveTemporariesNow() noexcept;

/// Removes the temporaries in `folder` that writers left when their process ended without a
/// chance to (killed, a power cut): names of exactly the writers' pattern, on a regular file of
/// one name that no writer holds, and on Linux owned by this user. A temporary of a run still
/// going is held and stays; links, folders, files with a second name and whatever cannot be
/// removed stay too, without a word. Where the file system cannot lock files (Linux), nothing is
/// removed.
void RemoveStaleTemporaries(const FolderHandle& folder);

/// What every temporary's name holds before its random part, and how much of the document's name
/// it keeps at most (bytes, or UTF-16 units on Windows).
inline constexpr std::string_view kTemporaryMarker = ".tolvren-tmp-";
inline constexpr std::size_t kTemporaryNameKept = 200;

/// The name of a writer's temporary for the document `name`: "." + its first kTemporaryNameKept
/// bytes (whole characters, so that a long name leaves room for the rest) + TemporarySuffix().
std::string TemporaryName(const std::string& name);

/// kTemporaryMarker and six random letters or digits, which end every temporary's name.
std::string TemporarySuffix();

/// Whether Windows keeps `name` for a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with the
/// superscript digits too, CONIN$, CONOUT$: the part before the first dot, in any case) or cannot
/// keep it as written (it ends in a dot or a blank). Such a document is never written on Windows.
bool IsReservedName(std::string_view name);

/// Whether `name` is exactly that of a writer's temporary (so that a scan leaves it alone, and a
/// later run may remove it): "." + a name + ".tolvren-tmp-" + six letters or digits.
bool IsWriterTemporary(std::string_view name);

} // namespace tolvren
