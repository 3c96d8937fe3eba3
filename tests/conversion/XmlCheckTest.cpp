#include "conversion/XmlCheck.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

TEST(XmlCheck, WhatKeepsAnUnescapedValueFromBeingWellFormed) {
    struct Case {
        std::string value;
        KmcValue where;
        std::string fault;
    };
    for (const auto& [value, where, fault] : {
             Case{"A&B", KmcValue::Author, "&"},
             Case{"Tom &amp; Jerry &#38; &#x26; &lt;&gt;&quot;&apos;", KmcValue::Title, ""},
             Case{"&#0; is no character", KmcValue::Title, "&"},
             Case{"&#xD800;", KmcValue::Lyric, "&"},
             Case{"&#99999999999999999999;", KmcValue::Lyric, "&"},
             Case{"&nbsp;", KmcValue::Lyric, "&"},
             Case{"& ;", KmcValue::Lyric, "&"},
             Case{"x<y", KmcValue::Lyric, "<"},
             Case{"a>b 'c'", KmcValue::Singer, ""},
             Case{"say \"hi\"", KmcValue::Lyric, ""},
             Case{"say \"hi\"", KmcValue::Timing, "\""},
             Case{"[a]]>", KmcValue::Lyric, "]]>"},
             Case{"[a]]>", KmcValue::Offset, ""},
             Case{"tab\tcr\rlf\n", KmcValue::Title, ""},
             Case{"esc\x1B[2J", KmcValue::Title, "U+001B"},
             Case{"\xEF\xBF\xBF", KmcValue::Lyric, "U+FFFF"},
             Case{"，\xEF\xBF\xBD", KmcValue::Lyric, ""},
         }) {
        EXPECT_EQ(XmlFault(value, where), fault) << value;
    }
}

} // namespace
} // namespace tolvren
