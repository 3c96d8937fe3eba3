#include "files/DirectorySearch.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvren {
namespace {

TEST(MatchesWildcard, Table) {
    struct Case {
        const char* mask;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"**.ksc*", "song.ksc", true},
        {"**.ksc*", "SONG.KSC", true},
        {"**.ksc*", "song.ksc.bak", true},
        {"**.ksc*", "song.kscx", true},
        {"**.ksc*", ".ksc", true},
        {"**.ksc*", "song.ks", false},
        {"**.ksc*", "songksc", false},
        {"*.*", "noextension", true},
        {"*.*", ".hidden", true},
        {"*.*", "a.b.c", true},
        {"song.*", "song", true},
        {"song.*", "songs", false},
        {"?.ksc", "a.ksc", true},
        {"?.ksc", "ab.ksc", false},
        {"?.ksc", ".ksc", false},
        {"a?c",
         "a\xc7"
         "c",
         true},
        {"\xc7\xe9*", "\xc7\xe9.ksc", true},
        {"\xc7\xe9*", "\xe7\xc9.ksc", false},
        {"", "a", false},
        {"*", "anything", true},
        {"*a*b", "xaxxaxb", true},
        {"*a*b", "xaxxaxbx", false},
        {"abc", "ABC", true},
        {"[a]", "a", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesWildcard(c.mask, c.name), c.match) << c.mask << " vs " << c.name;
    }
}

TEST(MakeAbsolute, PrefixesTheCurrentFolderOnlyToRelativeTexts) {
    const std::string cwd = MakeAbsolute("");
    ASSERT_FALSE(cwd.empty());
    EXPECT_EQ(cwd.front(), '/');
    EXPECT_EQ(MakeAbsolute("/abs/x"), "/abs/x");
    EXPECT_EQ(MakeAbsolute("rel/../x"), (cwd == "/" ? "/" : cwd + "/") + "rel/../x");
}

TEST(FindEntries, MetadataAndAttributes) {
    std::string root = "/tmp/tolvren-find-XXXXXX";
    ASSERT_NE(::mkdtemp(root.data()), nullptr);
    const auto make = [&](const char* name, mode_t mode, const std::string& content) {
        const int fd = ::open((root + "/" + name).c_str(), O_WRONLY | O_CREAT, mode);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, content.data(), content.size()),
                  static_cast<ssize_t>(content.size()));
        ::close(fd);
    };
    make("b.txt", 0644, "hello");
    make(".h", 0444, "");
    ASSERT_EQ(::mkdir((root + "/Dir").c_str(), 0555), 0);
    ASSERT_EQ(::symlink("b.txt", (root + "/link").c_str()), 0);

    const std::vector<DirectoryEntry> all = FindEntries(root, "*");
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].name, ".h");
    EXPECT_EQ(all[0].attributes, FILE_ATTR_ARCHIVE | FILE_ATTR_HIDDEN | FILE_ATTR_READONLY);
    EXPECT_EQ(all[1].name, "b.txt");
    EXPECT_EQ(all[1].path, root + "/b.txt");
    EXPECT_EQ(all[1].attributes, FILE_ATTR_ARCHIVE);
    EXPECT_EQ(all[1].size, 5);
    EXPECT_GT(all[1].modified, 0);
    EXPECT_EQ(all[2].name, "Dir");
    EXPECT_EQ(all[2].attributes, FILE_ATTR_DIRECTORY | FILE_ATTR_READONLY);
    EXPECT_EQ(all[2].size, 0);
    EXPECT_EQ(all[3].name, "link"); // the link's target: same file, same identity
    EXPECT_EQ(all[3].identity, all[1].identity);
    EXPECT_EQ(all[3].size, 5);

    const std::vector<DirectoryEntry> folders = FindEntries(root + "/", "*", true);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].path, root + "/Dir");
    std::filesystem::remove_all(root);
}

} // namespace
} // namespace tolvren
