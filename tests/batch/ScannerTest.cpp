// The scanner's walk and criteria, against the platform's real folders.

#include "batch/FileScanner.h"
#include "support/TestTree.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvren {
namespace {

using test::TestTree;
using ::testing::ElementsAre;

// The worker's criteria: names that contain ".ksc", with any of its attributes.
ScanOptions WorkerOptions(const std::string& folder) {
    ScanOptions options;
    options.baseFolder = folder;
    options.fileMask = "**.ksc*";
    options.includeSubfolders = 1;
    options.flags = SCAN_BY_ATTRIBUTES;
    options.attributes = KSC_ATTRIBUTE_MASK;
    return options;
}

std::vector<std::string> Scan(const TestTree& tree, const ScanHooks& hooks = {}) {
    FileScanner scanner;
    ScanOptions options = WorkerOptions(tree.Path("base"));
    scanner.Scan(options, hooks);
    std::vector<std::string> found;
    for (int i = 0; i < scanner.GetCount(); ++i) {
        std::string path = scanner.PathAt(i).substr(tree.Path("base/").size());
        std::replace(path.begin(), path.end(), kPathSeparator, '/');
        found.push_back(std::move(path));
    }
    return found;
}

TEST(FileScanner, SubfoldersFirstDepthFirstAndNeverAFolder) {
    const TestTree tree;
    for (const char* name : {"base/a.ksc", "base/sub/b.ksc", "base/sub/deep/c.ksc", "base/z/d.ksc",
                             "base/song.KSC.bak", "base/.hidden/e.kscx", "base/ksc.txt",
                             "base/songksc", "base/歌词.ksc/f.ksc"}) {
        tree.Write(name);
    }
    test::SetMode(tree.Path("base/歌词.ksc"), 0555);
    EXPECT_THAT(Scan(tree), ElementsAre(".hidden/e.kscx", "sub/deep/c.ksc", "sub/b.ksc", "z/d.ksc",
                                        "歌词.ksc/f.ksc", "a.ksc", "song.KSC.bak"));
}

TEST(FileScanner, StopsWhenAskedAndLeavesOutWhatItIsToldTo) {
    const TestTree tree;
    tree.Write("base/a/1.ksc");
    tree.Write("base/out/1.ksc.kmc");
    tree.Write("base/out/.1.ksc.kmc.tolvren-tmp-Ab12Cd"); // a writer's temporary
    tree.Write("base/z.ksc");
    int folders = 0;
    ScanHooks hooks;
    hooks.shouldStop = [&] { return ++folders > 2; };
    FileScanner scanner;
    ScanOptions options = WorkerOptions(tree.Path("base"));
    scanner.Scan(options, hooks);
    EXPECT_TRUE(scanner.WasStopped());

    ScanHooks skip;
    ASSERT_TRUE(GetIdentity(tree.Path("base/out"), skip.skipFolders.emplace_back()));
    EXPECT_THAT(Scan(tree, skip), ElementsAre("a/1.ksc", "z.ksc"));
    tree.Write("base/out/.x.ksc.tolvren-tmp-Ab12Cd");
    EXPECT_THAT(Scan(tree), ElementsAre("a/1.ksc", "out/1.ksc.kmc", "z.ksc"));
}

TEST(FileScanner, CriteriaTheWorkerDoesNotUse) {
    const TestTree tree;
    tree.Write("base/empty.ksc", "");
    tree.Write("base/full.ksc", std::string("karaoke.ADD(\0'x", 15), 0444);
    for (const auto& [flags, attributes, text, found] :
         {std::tuple{SCAN_BY_SIZE, 0u, "", "empty.ksc"},
          {SCAN_BY_ATTRIBUTES, FILE_ATTR_READONLY, "", "full.ksc"},
          {SCAN_BY_TEXT, 0u, "add('", "full.ksc"}}) {
        FileScanner scanner;
        ScanOptions options = WorkerOptions(tree.Path("base"));
        options.flags = flags;
        options.attributes = attributes;
        options.containingText = text;
        EXPECT_EQ(scanner.Scan(options), 1) << flags;
        EXPECT_EQ(scanner.GetAt(0).GetNameExt(), found);
        EXPECT_EQ(scanner.GetAt(1).GetPath(), ""); // past the end
    }
}

} // namespace
} // namespace tolvren
