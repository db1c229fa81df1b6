#include "quorvane/text/fatal_error.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "quorvane/text/byte_set.h"
#include "test_support.h"

// The allocation-failure tests need a failed allocation to come back as null
// under AddressSanitizer too; the environment's ASAN_OPTIONS still win.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace quorvane {
namespace {

using testing_support::Gbk;
using testing_support::Hex;

TEST(FatalReportTextTest, Layout) {
  const struct {
    const char* name;
    int32_t code;
    Text message;
    std::string_view expectedUtf8;
  } rows[] = {
      {"no code, no message", 0, Text(), "运行时出错!\r\n\r\n"},
      {"code and message", 4, Gbk("数组成员引用下标必须大于等于1"),
       "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n"},
      {"message only", 0, Gbk("不能求余数于零"), "运行时出错!\r\n\r\n错误信息：不能求余数于零\r\n"},
      {"code only", 1, Text(), "运行时出错!\r\n\r\n错误代码：1\r\n\r\n"},
      {"negative code", -12, Text("x"), "运行时出错!\r\n\r\n错误代码：-12\r\n\r\n错误信息：x\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Hex(FatalReportText(row.code, row.message).View()),
              Hex(Gbk(row.expectedUtf8).View()));
  }
}

TEST(FatalReportTextTest, IsCodePage936) {
  // "运行时出错!" CR LF CR LF "错误代码：" "9" CR LF CR LF, byte for byte.
  EXPECT_EQ(Hex(FatalReportText(9, Text()).View()),
            "D4 CB D0 D0 CA B1 B3 F6 B4 ED 21 0D 0A 0D 0A "
            "B4 ED CE F3 B4 FA C2 EB A3 BA 39 0D 0A 0D 0A");
}

void HexReporter(const Text& report) {
  const std::string line = "custom report: " + Hex(report.View()) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

TEST(FatalReporterTest, SetReturnsThePreviousReporter) {
  EXPECT_EQ(SetFatalReporter(HexReporter), nullptr);
  EXPECT_EQ(SetFatalReporter(nullptr), &HexReporter);
  EXPECT_EQ(SetFatalReporter(nullptr), nullptr);
}

TEST(FatalErrorDeathTest, DefaultReporterWritesUtf8ToStandardError) {
  EXPECT_EXIT(
      FatalError(4, Gbk("数组成员引用下标必须大于等于1")), ::testing::ExitedWithCode(255),
      "^运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n$");
}

TEST(FatalErrorDeathTest, InstalledReporterGetsTheExactReport) {
  EXPECT_EXIT(
      {
        SetFatalReporter(HexReporter);
        FatalError(7, Text("x"));
      },
      ::testing::ExitedWithCode(255),
      "^custom report: D4 CB D0 D0 CA B1 B3 F6 B4 ED 21 0D 0A 0D 0A B4 ED CE F3 B4 FA C2 EB A3 BA "
      "37 0D 0A 0D 0A B4 ED CE F3 D0 C5 CF A2 A3 BA 78 0D 0A\n$");
}

void ReporterThatFailsAgain(const Text&) { FatalError(2, Text("again")); }

TEST(FatalErrorDeathTest, FailureInsideTheReporterStillEnds) {
  EXPECT_EXIT(
      {
        SetFatalReporter(ReporterThatFailsAgain);
        FatalError(1, Text());
      },
      ::testing::ExitedWithCode(255), "fatal error while reporting a fatal error");
}

TEST(FatalErrorDeathTest, FromAnotherThreadEndsTheProcess) {
  EXPECT_EXIT(
      {
        std::thread worker([] { FatalError(0, Text("worker")); });
        worker.join();
        std::_Exit(0);  // not reached
      },
      ::testing::ExitedWithCode(255), "错误信息：worker\r\n");
}

// Lowers the address-space limit to what the process maps now plus headroom,
// so that one large allocation fails while small ones still succeed.
void LimitAddressSpace(std::size_t headroom) {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0;
  statm >> pages;
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max =
      pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) + headroom;
  setrlimit(RLIMIT_AS, &limit);
}

TEST(FatalErrorDeathTest, FailedAllocationOfBytes) {
  EXPECT_EXIT(
      {
        LimitAddressSpace(std::size_t{64} << 20);
        const ByteSet huge = BlankBytes(int32_t{1} << 30);
        std::fprintf(stderr, "allocated %lld\n", static_cast<long long>(huge.Size()));
      },
      ::testing::ExitedWithCode(255), "错误信息：分配 107374182[0-9] 字节内存失败!\r\n");
}

TEST(FatalErrorDeathTest, FailedAllocationOfText) {
  EXPECT_EXIT(
      {
        LimitAddressSpace(std::size_t{64} << 20);
        Text huge;
        huge.Reserve(int32_t{1} << 30);
        std::fprintf(stderr, "allocated %d\n", huge.Length());
      },
      ::testing::ExitedWithCode(255), "错误信息：分配 107374182[0-9] 字节内存失败!\r\n");
}

}  // namespace
}  // namespace quorvane
