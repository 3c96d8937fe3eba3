// Links of every kind, made as anyone on Linux may make them.

#include "batch/FileScanner.h"
#include "support/Child.h"
#include "support/TestTree.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

using test::TestTree;

std::vector<std::string> Scan(const TestTree& tree) {
    FileScanner scanner;
    scanner.Scan(ScriptScanOptions(tree.Path("base")));
    std::vector<std::string> found;
    for (int i = 0; i < scanner.GetCount(); ++i) {
        found.push_back(scanner.PathAt(i).substr(tree.Path("base/").size()));
    }
    return found;
}

TEST(FileScanner, EveryFolderAndFileOnceHoweverManyLinksLeadThere) {
    const TestTree tree;
    tree.Write("albums/one/song.ksc");
    tree.MakeFolder("base");
    tree.Link("../albums/one", "base/a");
    tree.Link("../albums/one", "base/b");
    tree.Link("../albums/one/song.ksc", "base/c.ksc");
    tree.Link("..", "base/a-loop-up");
    // A web of links: two ways into each of twenty levels is a million paths to one song.
    for (int level = 0; level < 20; ++level) {
        const std::string folder = "base/web/l" + std::to_string(level);
        tree.MakeFolder(folder);
        tree.Link("../l" + std::to_string(level + 1), folder + "/x");
        tree.Link("../l" + std::to_string(level + 1), folder + "/y");
    }
    tree.Write("base/web/l20/deep.ksc");
    test::RunInChild( // a walk that never ends fails here
        [&](test::ChildChecks& check) {
            check.Equal("found", Scan(tree),
                        std::vector<std::string>{"a/song.ksc", "web/l0/x/x/x/x/x/x/x/x/x/x/x/x/"
                                                               "x/x/x/x/x/x/x/x/deep.ksc"});
        },
        30);
}

} // namespace
} // namespace tolvren
