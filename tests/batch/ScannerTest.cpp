// The scanner's walk and criteria, against the platform's real folders and, for what only
// Windows' file systems show, through a listing a test fills.

#include "batch/FileScanner.h"
#include "support/TestTree.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvren {
namespace {

using test::TestTree;
using ::testing::ElementsAre;

// The paths found below `base`, with '/' between their folders.
std::vector<std::string> Found(const FileScanner& scanner, const std::string& base) {
    std::vector<std::string> found;
    for (int i = 0; i < scanner.GetCount(); ++i) {
        std::string path = scanner.PathAt(i).substr(base.size() + 1);
        std::replace(path.begin(), path.end(), kPathSeparator, '/');
        found.push_back(std::move(path));
    }
    return found;
}

std::vector<std::string> Scan(const TestTree& tree, const ScanHooks& hooks = {},
                              const std::string& base = "base") {
    FileScanner scanner;
    scanner.Scan(ScriptScanOptions(tree.Path(base)), hooks);
    return Found(scanner, tree.Path("base"));
}

TEST(FileScanner, SubfoldersFirstDepthFirstAndNeverAFolder) {
    const TestTree tree;
    for (const char* name : {"base/a.ksc", "base/sub/b.ksc", "base/sub/deep/c.ksc", "base/z/d.ksc",
                             "base/song.KSC.bak", "base/.hidden/e.kscx", "base/ksc.txt",
                             "base/songksc", "base/歌词.ksc/f.ksc"}) {
        tree.Write(name);
    }
    test::SetMode(tree.Path("base/歌词.ksc"), 0555);
    for (const std::string base : {"base", "base/"}) { // a trailing separator changes nothing
        EXPECT_THAT(Scan(tree, {}, base),
                    ElementsAre(".hidden/e.kscx", "sub/deep/c.ksc", "sub/b.ksc", "z/d.ksc",
                                "歌词.ksc/f.ksc", "a.ksc", "song.KSC.bak"));
    }
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
    scanner.Scan(ScriptScanOptions(tree.Path("base")), hooks);
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
        ScanOptions options = ScriptScanOptions(tree.Path("base"));
        options.flags = flags;
        options.attributes = attributes;
        options.containingText = text;
        EXPECT_EQ(scanner.Scan(options), 1) << flags;
        EXPECT_EQ(scanner.GetAt(0).GetNameExt(), found);
        EXPECT_EQ(scanner.GetAt(1).GetPath(), ""); // past the end
    }
}

// What real Windows shows and wine cannot: a file whose only attribute is "normal" (wine reports
// every file as archive), or one with none of the usual ones; two names that differ in case alone
// in one folder (a NAS, a folder marked case-sensitive), which are two files unless the file
// system gives them one id; a file named like a device (only "\\?\" paths make one); a junction
// back up the tree.
TEST(FileScanner, EveryFileTheFileSystemListsOnceWhateverItsAttributesOrCase) {
    std::string listed;
    const auto entry = [&](const std::string& name, std::uint32_t attributes, std::uint64_t id) {
        DirectoryEntry e;
        e.name = name;
        e.path = JoinPath(listed, name);
        e.attributes = attributes;
        e.identity = {7, id, 0};
        return e;
    };
    ScanHooks hooks;
    hooks.listFolder = [&](const std::string& folder, std::string_view, FileDetails) {
        FolderListing listing;
        listed = folder;
        if (folder == "base") {
            listing.identity = {7, 1, 0};
            listing.folders = {entry("back-up", FILE_ATTR_DIRECTORY, 1),
                               entry("pop", FILE_ATTR_DIRECTORY, 2)};
            listing.files = {entry("CON.ksc", FILE_ATTR_ARCHIVE, 10),
                             entry("Normal.ksc", FILE_ATTR_NORMAL, 11),
                             entry("Offline.ksc", 0x1000, 12),
                             entry("Song.ksc", FILE_ATTR_ARCHIVE, 13),
                             entry("SONG.ksc", FILE_ATTR_ARCHIVE, 14),
                             entry("Song-link.ksc", FILE_ATTR_READONLY, 13)};
        } else {
            listing.identity = {7, 2, 0};
            listing.files = {entry("pop.ksc", FILE_ATTR_ARCHIVE, 15)};
        }
        return listing;
    };
    FileScanner scanner;
    scanner.Scan(ScriptScanOptions("base"), hooks);
    EXPECT_THAT(Found(scanner, "base"), ElementsAre("pop/pop.ksc", "CON.ksc", "Normal.ksc",
                                                    "Offline.ksc", "Song.ksc", "SONG.ksc"));
}

} // namespace
} // namespace tolvren
