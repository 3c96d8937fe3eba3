#include "batch/FileScanner.h"

#include "support/TestTree.h"

#include <climits>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tolvren {
namespace {

using test::TestTree;

// The worker's search: every name that contains ".ksc", subfolders, attribute mask 0x927.
ScanOptions WorkerOptions(const std::string& base) {
    ScanOptions options;
    options.baseFolder = base;
    options.fileMask = "**.ksc*";
    options.includeSubfolders = 1;
    options.flags |= SCAN_BY_ATTRIBUTES;
    options.attributes |= KSC_ATTRIBUTE_MASK;
    return options;
}

std::vector<std::string> Found(const FileScanner& scanner) {
    std::vector<std::string> paths;
    for (int i = 0; i < scanner.GetCount(); ++i) {
        paths.push_back(scanner.GetAt(i).GetPath());
    }
    return paths;
}

std::vector<std::string> ScanAll(ScanOptions options) {
    FileScanner scanner;
    scanner.Scan(options);
    return Found(scanner);
}

class ScannerTest : public testing::Test {
protected:
    std::string P(const std::string& relative) const { return tree.Path(relative); }
    std::vector<std::string> Ps(const std::vector<std::string>& names) const {
        std::vector<std::string> paths;
        for (const std::string& name : names) {
            paths.push_back(P(name));
        }
        return paths;
    }

    TestTree tree;
};

TEST_F(ScannerTest, SubfoldersComeFirstDepthFirst) {
    tree.Write("a.ksc");
    tree.Write("sub/b.ksc");
    tree.Write("sub/deep/c.ksc");
    tree.Write("z/d.ksc");
    for (const char* name : {"b.ksc", "A.ksc", "C.ksc", "_.ksc"}) { // ASCII case is ignored
        tree.Write(name);
    }
    const std::vector<std::string> expected =
        Ps({"sub/deep/c.ksc", "sub/b.ksc", "z/d.ksc", "A.ksc", "a.ksc", "b.ksc", "C.ksc", "_.ksc"});
    for (const std::string& base : {tree.Root(), tree.Root() + "/"}) {
        ScanOptions options = WorkerOptions(base);
        FileScanner scanner;
        EXPECT_EQ(scanner.Scan(options), 8);
        EXPECT_EQ(Found(scanner), expected) << base;
        EXPECT_EQ(options.baseFolder, tree.Root() + "/");
    }
}

TEST_F(ScannerTest, RelativeEmptyMissingOrFileBaseFolders) {
    tree.Write("in/a.ksc");
    char previous[PATH_MAX];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(tree.Root().c_str()), 0);
    const std::vector<std::string> relative = ScanAll(WorkerOptions("in"));
    const std::vector<std::string> current = ScanAll(WorkerOptions(""));
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_EQ(relative, std::vector<std::string>{P("in/a.ksc")});
    EXPECT_EQ(current, std::vector<std::string>{P("in/a.ksc")});
    EXPECT_TRUE(ScanAll(WorkerOptions(P("missing"))).empty()); // a missing folder or a file
    EXPECT_TRUE(ScanAll(WorkerOptions(P("in/a.ksc"))).empty());
}

TEST_F(ScannerTest, MaskSelectsNamesHoldingKscInAnyCase) {
    for (const char* name : {"song.KSC", "song.ksc.bak", "song.kscx", "song.ks", "songksc"}) {
        tree.Write(name);
    }
    EXPECT_EQ(ScanAll(WorkerOptions(tree.Root())), Ps({"song.KSC", "song.ksc.bak", "song.kscx"}));

    ScanOptions every;
    every.baseFolder = tree.Root();
    EXPECT_EQ(ScanAll(every).size(), 5u); // "*.*" also takes names without a dot

    ScanOptions one;
    one.baseFolder = tree.Root();
    one.fileMask = "song.ks?";
    EXPECT_EQ(ScanAll(one), Ps({"song.KSC"}));
}

TEST_F(ScannerTest, AttributesDecideWhatTheWorkerLists) {
    tree.Write(".hidden.ksc");
    tree.Write(".h/in-hidden.ksc");
    tree.Write("plain.ksc/inner.ksc");
    tree.MakeFolder(".shown.ksc");
    tree.MakeFolder("ro.ksc", 0555);
    tree.Write("readonly.ksc", "x", 0444);
    EXPECT_EQ(ScanAll(WorkerOptions(tree.Root())),
              Ps({".h/in-hidden.ksc", "plain.ksc/inner.ksc", ".hidden.ksc", ".shown.ksc/",
                  "readonly.ksc", "ro.ksc/"}));

    ScanOptions readOnly = WorkerOptions(tree.Root());
    readOnly.includeSubfolders = 0;
    readOnly.attributes = FILE_ATTR_READONLY;
    EXPECT_EQ(ScanAll(readOnly), Ps({"readonly.ksc", "ro.ksc/"}));

    ScanOptions folders = readOnly;
    folders.attributes = FILE_ATTR_DIRECTORY;
    EXPECT_EQ(ScanAll(folders), Ps({".shown.ksc/", "plain.ksc/", "ro.ksc/"}));
}

TEST_F(ScannerTest, LinksAreFollowedButLoopsEnd) {
    tree.Write("sub/b.ksc");
    tree.Link("..", "sub/up");  // back to the base folder
    tree.Link(".", "sub/self"); // the folder itself
    tree.Write("z/d.ksc");
    tree.Link("z", "linked");           // a folder elsewhere on the walk: searched again
    tree.Link("z/d.ksc", "tofile.ksc"); // a link to a file is a file
    tree.Link("missing.ksc", "dangling.ksc");
    tree.Write("a/x.ksc");
    tree.MakeFolder("b");
    tree.Link("../b", "a/to-b"); // a → b → a: the chain ends where it comes back to the walk
    tree.Link("../a", "b/to-a");
    EXPECT_EQ(ScanAll(WorkerOptions(tree.Root())), Ps({"a/x.ksc", "b/to-a/x.ksc", "linked/d.ksc",
                                                       "sub/b.ksc", "z/d.ksc", "tofile.ksc"}));
}

TEST_F(ScannerTest, FifosAndSocketsAreNeverListed) {
    ASSERT_EQ(::mkfifo(P("pipe.ksc").c_str(), 0644), 0);
    const int sock = tree.Socket("sock.ksc");
    tree.Write("real.ksc");

    ScanOptions options = WorkerOptions(tree.Root());
    options.flags |= SCAN_BY_TEXT;
    options.containingText = "x";
    EXPECT_EQ(ScanAll(options), std::vector<std::string>{P("real.ksc")});
    EXPECT_FALSE(FileContainsText(P("pipe.ksc"), "x")); // returns at once, no writer needed
    EXPECT_FALSE(FileContainsText(P("sock.ksc"), "x"));
    ::close(sock);
}

TEST_F(ScannerTest, TreesDeeperThanOnePathCanNameAreSearched) {
    const std::string part(200, 'd');
    std::string relative;
    int at = ::open(tree.Root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 25 && at >= 0; ++level) { // about 5000 bytes below the root
        relative += (relative.empty() ? "" : "/") + part;
        ASSERT_EQ(::mkdirat(at, part.c_str(), 0755), 0);
        const int next = ::openat(at, part.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(at);
        at = next;
    }
    ASSERT_GE(at, 0);
    const int file = ::openat(at, "deep.ksc", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ::close(file);
    ::close(at);

    ScanOptions options = WorkerOptions(tree.Root());
    options.flags |= SCAN_BY_TEXT; // the file is empty: reached, opened, and rejected
    options.containingText = "x";
    EXPECT_TRUE(ScanAll(options).empty());
    options.flags = SCAN_BY_ATTRIBUTES;
    EXPECT_EQ(ScanAll(options), std::vector<std::string>{P(relative + "/deep.ksc")});
}

TEST_F(ScannerTest, UnreadableSubfolderIsPassedOver) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every folder";
    }
    tree.Write("closed/x.ksc");
    ::chmod(P("closed").c_str(), 0);
    tree.Write("a.ksc");
    EXPECT_EQ(ScanAll(WorkerOptions(tree.Root())), std::vector<std::string>{P("a.ksc")});
}

TEST_F(ScannerTest, SizeBoundsAreInclusive) {
    tree.Write("empty.ksc", "");
    tree.Write("one.ksc", "1");
    tree.Write("ten.ksc", "0123456789");
    struct Case {
        std::int64_t min, max;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {0, 0, {"empty.ksc"}}, {1, 10, {"one.ksc", "ten.ksc"}}, {2, 9, {}}, {5, 1, {}}};
    for (const Case& c : cases) {
        ScanOptions options = WorkerOptions(tree.Root());
        options.flags = SCAN_BY_SIZE;
        options.minSize = c.min;
        options.maxSize = c.max;
        EXPECT_EQ(ScanAll(options), Ps(c.names)) << c.min << ".." << c.max;
    }
}

TEST_F(ScannerTest, TimeBoundsAreInclusiveAndPast2038) {
    tree.Write("old.ksc");
    tree.Write("future.ksc");
    const std::time_t old = 1'000'000'000;
    const std::time_t future = 2'300'000'000; // beyond 32-bit seconds
    const timespec oldTimes[2] = {{old, 0}, {old, 0}};
    const timespec futureTimes[2] = {{future, 0}, {future, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, P("old.ksc").c_str(), oldTimes, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, P("future.ksc").c_str(), futureTimes, 0), 0);

    struct Case {
        std::uint32_t flag;
        std::time_t from, to;
        std::vector<std::string> names;
    };
    const std::time_t now = std::time(nullptr);
    const Case cases[] = {
        {SCAN_BY_MODIFIED, old, old, {"old.ksc"}},
        {SCAN_BY_MODIFIED, old + 1, future, {"future.ksc"}},
        {SCAN_BY_MODIFIED, future + 1, future + 2, {}},
        {SCAN_BY_ACCESSED, old, future, {"future.ksc", "old.ksc"}},
        {SCAN_BY_ACCESSED, future, future, {"future.ksc"}},
        {SCAN_BY_CREATED, now - 3600, now + 3600, {"future.ksc", "old.ksc"}},
        {SCAN_BY_CREATED, 0, old, {}},
    };
    for (const Case& c : cases) {
        ScanOptions options = WorkerOptions(tree.Root());
        options.flags = c.flag;
        options.modifiedFrom = options.accessedFrom = options.createdFrom = c.from;
        options.modifiedTo = options.accessedTo = options.createdTo = c.to;
        EXPECT_EQ(ScanAll(options), Ps(c.names)) << c.flag << " " << c.from << ".." << c.to;
    }
}

TEST_F(ScannerTest, CriteriaCombineAndTheFirstFailureRejects) {
    tree.Write("big.ksc", "needle in a haystack");
    tree.Write("small.ksc", "needle");
    tree.Write("none.ksc", "nothing here at all");
    ScanOptions options = WorkerOptions(tree.Root());
    options.flags |= SCAN_BY_SIZE | SCAN_BY_TEXT;
    options.minSize = 10;
    options.maxSize = 100;
    options.containingText = "NEEDLE";
    EXPECT_EQ(ScanAll(options), std::vector<std::string>{P("big.ksc")});
}

TEST_F(ScannerTest, ScansAddUpUntilRemoveAllAndOutOfRangeIsEmpty) {
    tree.Write("a.ksc");
    tree.Write("b.ksc");
    FileScanner scanner;
    ScanOptions options = WorkerOptions(tree.Root());
    EXPECT_EQ(scanner.Scan(options), 2);
    EXPECT_EQ(scanner.Scan(options), 4);
    EXPECT_EQ(Found(scanner), Ps({"a.ksc", "b.ksc", "a.ksc", "b.ksc"}));
    EXPECT_EQ(scanner.GetAt(-1).GetPath(), "");
    EXPECT_EQ(scanner.GetAt(scanner.GetCount()).GetPath(), "");
    scanner.RemoveAll();
    EXPECT_EQ(scanner.GetCount(), 0);
    EXPECT_EQ(scanner.GetAt(0).GetPath(), "");
}

TEST(FileContainsText, ReadWindows) {
    using namespace std::string_literals;
    TestTree tree;
    const std::string filler(1000, 'x');
    struct Case {
        std::string content;
        std::string text;
        bool found;
    };
    const std::string longText(150, 'L'); // window grows to 300
    const Case cases[] = {
        {"needle", "needle", true},
        {"NeEdLe", "nEeDlE", true},
        {filler.substr(0, 124) + "needle" + filler, "needle", true}, // across the first read
        {filler + "needle", "needle", true},
        {filler.substr(0, 500) + longText + filler, longText, true},
        {"nee\0\0dle"s, "needle", true}, // NUL bytes do not count
        {"\xc7\xe9\xb8\xe8", "\xc7\xe9", true},
        {filler, "needle", false},
        {"needl", "needle", false},
        {"needle", "", false},
        {"needle", "need\0zzz"s, true}, // the text ends at its NUL
        {"", "x", false},
        {"abc", "  abc", false}, // no blanks before the file's first byte
        {filler.substr(0, 125) + "ne" + std::string(300, '\0') + "edle", "needle", true},
    };
    int i = 0;
    for (const Case& c : cases) {
        const std::string name = "f" + std::to_string(i++);
        tree.Write(name, c.content);
        EXPECT_EQ(FileContainsText(tree.Path(name), c.text), c.found) << name;
    }
    EXPECT_FALSE(FileContainsText(tree.Path("missing"), "x"));
    EXPECT_FALSE(FileContainsText(tree.Root(), "x"));
}

} // namespace
} // namespace tolvren
