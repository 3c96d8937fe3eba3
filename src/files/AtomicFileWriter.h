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
/// the target's folder (O_TMPFILE), or where the file system has none into a temporary
/// ".<name>.tolvren-tmp-XXXXXX", which takes the target's name only in Commit. Whatever fails,
/// and whenever the writer is dropped before Commit, the file is gone and an existing target is
/// as it was.
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
    std::string m_strTempName; ///< the named temporary, when there is one
    std::string m_buffer;
    IoResult m_error;
    const std::atomic<bool>* m_pCancel = nullptr;
    std::intptr_t m_hFile = -1; ///< the temporary's descriptor or handle
    int m_nRegistration = -1;   ///< its slot among the temporaries removed on a second Ctrl-C
    bool m_bFinished = false;
    bool m_bCommitted = false;
};

/// Removes the named temporaries that writers hold right now. Safe to call from a signal handler
/// (or a console control handler), just before the process ends.
void RemoveTemporariesNow() noexcept;

/// The name of a writer's temporary for the document `name`, with a random part.
std::string TemporaryName(const std::string& name);

/// Whether Windows keeps `name` for a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with the
/// superscript digits too, CONIN$, CONOUT$: the part before the first dot, in any case) or cannot
/// keep it as written (it ends in a dot or a blank). Such a document is never written on Windows.
bool IsReservedName(std::string_view name);

/// Whether `name` is that of a writer's temporary (so that a scan can leave it alone).
bool IsWriterTemporary(std::string_view name);

} // namespace tolvren
