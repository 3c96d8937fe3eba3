#include "conversion/LyricConverter.h"
#include "support/Scripts.h"
#include "support/TestTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tolvren {
namespace {

using testing::Document;
using testing::Gbk;
using testing::Script;
using Names = std::vector<std::string>;

const std::string song =
    Script({"karaoke.tag('歌名', '示例');",
            "karaoke.add('00:01.000', '00:03.000', '第一行', '500,800,700');"});

class ConvertFileTest : public ::testing::Test {
protected:
    std::string P(const std::string& name) const { return tree.Path(name); }

    const LyricConverter m_converter{"作者"};
    test::TestTree tree;
};

TEST_F(ConvertFileTest, WritesTheDocumentAndNothingElse) {
    tree.Write("demo.ksc", song);
    tree.Write("demo.kmc", "an older document that is longer than the new one ...........");
    const ConvertResult result = m_converter.ConvertFile(P("demo.ksc"), P("demo.kmc"));
    EXPECT_TRUE(result.ok()) << result.reason;
    EXPECT_EQ(result.reason, "");
    EXPECT_EQ(test::TestTree::Read(P("demo.kmc")),
              Document({"<kmc ti=\"示例\" ar=\"\" al=\"\" by=\"作者\" >",
                        "  <l t=\"00:01.000,00:03.000,500,800,700\">第一行</l>", "</kmc>"}));
    EXPECT_EQ(tree.Names(), (Names{"demo.kmc", "demo.ksc"}));
}

TEST_F(ConvertFileTest, TitleFallsBackToTheFileNameInEitherEncoding) {
    struct Case {
        std::string name, title;
    } cases[] = {{"情歌.ksc", "情歌"}, {Gbk("老歌") + ".ksc", "老歌"}, {"a.b.ksc", "a.b"}};
    for (const Case& c : cases) {
        tree.Write(c.name, "");
        ASSERT_TRUE(m_converter.ConvertFile(P(c.name), P("out.kmc")).ok());
        EXPECT_EQ(
            test::TestTree::Read(P("out.kmc")),
            Document({"<kmc ti=\"" + c.title + "\" ar=\"\" al=\"\" by=\"作者\" >", "</kmc>"}));
    }
}

TEST_F(ConvertFileTest, RefusesToWriteOverItsOwnSource) {
    tree.Write("song.ksc", song);
    ASSERT_EQ(link(P("song.ksc").c_str(), P("hard.kmc").c_str()), 0);
    tree.Link(P("song.ksc"), "soft.kmc");
    for (const std::string& target :
         {P("song.ksc"), P("./song.ksc"), P("hard.kmc"), P("soft.kmc")}) {
        const ConvertResult result = m_converter.ConvertFile(P("song.ksc"), target);
        EXPECT_EQ(result.status, ConvertStatus::SameFile) << target;
        EXPECT_EQ(result.reason, "cannot write target: it is the source file");
    }
    EXPECT_EQ(test::TestTree::Read(P("song.ksc")), song);
    EXPECT_EQ(tree.Names(), (Names{"hard.kmc", "soft.kmc", "song.ksc"}));
}

TEST_F(ConvertFileTest, ReportsSourcesAndTargetsThatCannotBeUsed) {
    tree.Write("song.ksc", song);
    tree.Write("plain", "");
    tree.MakeFolder("folder.ksc");
    ASSERT_EQ(mkfifo(P("fifo.ksc").c_str(), 0600), 0);
    struct Case {
        std::string source, target;
        ConvertStatus status;
        std::string reason;
    } cases[] = {
        {P("missing.ksc"), P("out.kmc"), ConvertStatus::SourceUnreadable,
         "cannot open source: No such file or directory"},
        {P("folder.ksc"), P("out.kmc"), ConvertStatus::SourceUnreadable,
         "cannot read source: Is a directory"},
        {P("fifo.ksc"), P("out.kmc"), ConvertStatus::SourceUnreadable,
         "cannot read source: not a regular file"},
        {"/dev/null", P("out.kmc"), ConvertStatus::SourceUnreadable,
         "cannot read source: not a regular file"},
        {"", P("out.kmc"), ConvertStatus::SourceUnreadable,
         "cannot open source: No such file or directory"},
        {P("song.ksc"), P("missing/song.kmc"), ConvertStatus::TargetNotWritable,
         "cannot create target: No such file or directory"},
        {P("song.ksc"), P("plain/song.kmc"), ConvertStatus::TargetNotWritable,
         "cannot create target: Not a directory"},
        {P("song.ksc"), P("folder.ksc"), ConvertStatus::TargetNotWritable,
         "cannot create target: Is a directory"},
        {P("song.ksc"), "", ConvertStatus::TargetNotWritable,
         "cannot create target: No such file or directory"},
    };
    for (const Case& c : cases) {
        const ConvertResult result = m_converter.ConvertFile(c.source, c.target);
        EXPECT_EQ(result.status, c.status) << c.source << " → " << c.target;
        EXPECT_EQ(result.reason, c.reason);
    }
    EXPECT_EQ(tree.Names(), (Names{"fifo.ksc", "folder.ksc", "plain", "song.ksc"}));
    EXPECT_TRUE(tree.Names("folder.ksc").empty());
}

} // namespace
} // namespace tolvren
