// Ports, temporary directories and whole files.
#include <gtest/gtest.h>

#include <filesystem>

#include "quorvane/testing/loopback.h"

namespace quorvane::testing {
namespace {

TEST(LoopbackTest, AFreePortIsFreeAndNothingAnswersOnIt) {
  int port = FreeLoopbackPort();
  ASSERT_GT(port, 0);
  EXPECT_FALSE(WaitForLoopbackPort(port, std::chrono::milliseconds(50)));
  EXPECT_EQ(ExchangeOnLoopback(port, "GET / HTTP/1.0\r\n\r\n"), "");
}

TEST(LoopbackTest, ATemporaryDirectoryRemovesItselfWithItsContent) {
  std::string path;
  {
    TempDirectory directory("quorvane-self-test");
    path = directory.Path();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::is_directory(path));
    const std::string bytes("a\0b\r\n\xff", 6);
    ASSERT_TRUE(WriteWholeFile(path + "/x/y/z.bin", bytes));
    EXPECT_EQ(ReadWholeFile(path + "/x/y/z.bin"), bytes);
    ASSERT_TRUE(WriteWholeFile(path + "/x/y/z.bin", "short"));  // replaced, not appended
    EXPECT_EQ(ReadWholeFile(path + "/x/y/z.bin"), "short");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(ReadWholeFile(path + "/x/y/z.bin"), "");
}

}  // namespace
}  // namespace quorvane::testing
