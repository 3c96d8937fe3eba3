// How the system's errors read on each platform, in both languages.

#include "batch/Messages.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace tolvren {
namespace {

// A Windows user reads Windows' words, a Linux user the C library's, whichever platform the test
// runs on: a sharing violation is another program using the file, never a busy device.
TEST(DescribeSystemError, EachPlatformInItsOwnWordsInBothLanguages) {
    for (const auto& [error, wording, english, chinese] :
         {std::tuple{EBUSY, ErrorWording::Windows, std::string("another program is using the file"),
                     "另一个程序正在使用此文件"},
          {EACCES, ErrorWording::Windows, "access is denied", "拒绝访问"},
          {EBUSY, ErrorWording::Posix, ErrorText(EBUSY), "设备或资源忙"}}) {
        EXPECT_EQ(DescribeSystemError(error, Language::English, wording), english);
        EXPECT_EQ(DescribeSystemError(error, Language::Chinese, wording), chinese);
    }
}

} // namespace
} // namespace tolvren
