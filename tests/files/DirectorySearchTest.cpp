#include "files/DirectorySearch.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tolvren
