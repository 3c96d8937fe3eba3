// The directory search's contract, against the implementation the platform builds.

#include "files/DirectorySearch.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

TEST(MatchesWildcard, CaseBlindStarsAndQuestionMarks) {
    struct Case {
        const char* mask;
        const char* name;
        bool match;
    };
    for (const Case& c : {Case{"**.ksc*", "Song.KSC.bak", true}, Case{"**.ksc*", "songksc", false},
                          Case{"*.*", "noextension", true}, Case{"song.*", "songs", false},
                          Case{"?.ksc", ".ksc", false}, Case{"\xc7\xe9*", "\xe7\xc9.ksc", false},
                          Case{"", "a", false}, Case{"*a*b", "xaxxaxb", true},
                          Case{"*a*b", "xaxxaxbx", false}, Case{"[a]", "a", false}}) {
        EXPECT_EQ(MatchesWildcard(c.mask, c.name), c.match) << c.mask << " vs " << c.name;
    }
}

} // namespace
} // namespace tolvren
