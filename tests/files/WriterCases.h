#pragma once

// What the writer's tests on every platform and the POSIX-only ones share.

#include "files/AtomicFileWriter.h"
#include "support/TestTree.h"

#include <gtest/gtest.h>

namespace tolvren::test {

/// Runs `check(tree, unnamed)` once for each way the platform writes: with unnamed files where it
/// has them, and under named temporaries as on a file system without them. Each time into a
/// fresh folder "out", which must hold nothing hidden afterwards.
template <typename Case>
void OnEachKindOfFileSystem(Case check) {
    for (const bool unnamed : {true, false}) {
        if (unnamed && !AtomicFileWriter::HasUnnamedFiles()) {
            continue;
        }
        SCOPED_TRACE(unnamed ? "unnamed files" : "named temporaries");
        AtomicFileWriter::UseUnnamedFiles(unnamed);
        const TestTree tree;
        tree.MakeFolder("out");
        check(tree, unnamed);
        for (const std::string& name : tree.Names("out")) {
            EXPECT_FALSE(name.starts_with('.')) << "left behind: " << name;
        }
    }
    AtomicFileWriter::UseUnnamedFiles(true);
}

/// Writes as on a file system without unnamed files while it is in scope.
struct NamedTemporariesOnly {
    NamedTemporariesOnly() { AtomicFileWriter::UseUnnamedFiles(false); }
    ~NamedTemporariesOnly() { AtomicFileWriter::UseUnnamedFiles(true); }
    NamedTemporariesOnly(const NamedTemporariesOnly&) = delete;
    NamedTemporariesOnly& operator=(const NamedTemporariesOnly&) = delete;
};

/// Writes "new\r\n" as the document `path`.
inline IoResult WriteDocument(const std::string& path, const FileIdentity* source = nullptr,
                              const std::atomic<bool>* cancel = nullptr) {
    AtomicFileWriter writer(path);
    writer.SetCancel(cancel);
    if (IoResult opened = writer.Open(); !opened.ok()) {
        return opened;
    }
    writer.Write("new\r\n");
    return writer.Commit(source);
}

} // namespace tolvren::test
