// The command line of both dialog programs, read by one set of rules.
#include "dialog/CommandLineInfo.h"

#include "files/FileSystem.h"

#include <gtest/gtest.h>

namespace tolvren {
namespace {

TEST(CommandLineInfo, OneFolderAtMostAndTheOptionsGnuProgramsTake) {
    using Action = CommandLineInfo::Action;
    for (const auto& [args, action, said] :
         {std::tuple{std::vector<std::string>{}, Action::ShowWindow, ""},
          {{"--", "-songs"}, Action::ShowWindow, "-songs"},
          {{"songs", "--help"}, Action::ShowHelp, ""},
          {{"--bogus", "-V"}, Action::ShowVersion, ""},
          {{"--", "--help"}, Action::ShowWindow, "--help"},
          {{"--help=x"}, Action::UsageError, "unrecognized option '--help=x'"},
          {{"a", "--", "b"}, Action::UsageError, "extra operand 'b'"}}) {
        const CommandLineInfo info = ParseCommandLine(args);
        EXPECT_EQ(info.action, action) << said;
        EXPECT_EQ(action == Action::UsageError ? info.usageError : info.folder.value_or(""), said);
    }
    EXPECT_EQ(UsageErrorText("tolvren.exe", "extra operand 'a\nb'"),
              "tolvren.exe: extra operand 'a\\nb'\n"
              "Try 'tolvren.exe --help' for more information.\n");
}

TEST(CommandLineInfo, AFileUrlNamesItsPath) {
    for (const auto& [url, path] :
         {std::pair{"file:///home/u/%E6%AD%8C%20%e6%9B%b2", "/home/u/歌 曲"},
          {"file://localhost/songs", "/songs"},
          {"file://nas/share", "//nas/share"},
          {"file:///C:/songs", kPathSeparator == '\\' ? "C:/songs" : "/C:/songs"},
          {"file:///100%", "/100%"},
          {"file://", "-"},
          {"/home/u", "-"}}) {
        EXPECT_EQ(PathOfFileUrl(url).value_or("-"), path) << url;
    }
}

} // namespace
} // namespace tolvren
