// The text operations on several threads at once: each thread has its own
// converters, and the shared code page cache and upper-case table are built once.
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "code_page_direct.h"
#include "quorvane/text/code_page.h"
#include "quorvane/text/fatal_error.h"
#include "quorvane/text/text.h"

namespace quorvane {
namespace {

constexpr int kThreads = 4;

// The first conversions of this binary (keep this test first): the threads
// start together, so they race to fill the code page cache, and each checks
// its results against its own converter alone.
TEST(TextThreadsTest, FirstConversionsOnManyThreadsShareOneCache) {
  std::latch start(kThreads);
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &start, &mismatches] {
      // Cached characters and ones the converter decides: 0x80, a broken pair.
      Text text;
      for (int i = 0; i < 500; ++i) {
        text.Append(t % 2 == 0 ? "ab\xD6\xD0 " : "\xCE\xC4\x80");
        if (i % 50 == t) text.Append("\x81\x7F");
      }
      std::u16string units = u"a\x4E2D\xD83D\x00C0";
      units += static_cast<char16_t>(u'a' + t);
      start.arrive_and_wait();
      for (int round = 0; round < 50; ++round) {
        if (TextToUtf16(text) != DecodeCodePage936Directly(text.View())) ++mismatches;
        if (Utf16ToText(units) != EncodeCodePage936Directly(units)) ++mismatches;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(TextThreadsTest, ConversionsOnManyThreadsAtOnce) {
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &mismatches] {
      // Each thread its own text, so that a shared converter would mix them up.
      Text text;
      for (int i = 0; i < 2000; ++i) {
        text.Append(t % 2 == 0 ? "\xD6\xD0" : "\xCE\xC4");
        text.AppendByte(static_cast<unsigned char>('a' + t));
      }
      const char* charset = t % 2 == 0 ? "utf-8" : "big5";
      const std::string encoded =
          t % 2 == 0 ? std::string("\xE4\xB8\xAD") : std::string("\xA4\xA4");
      for (int round = 0; round < 200; ++round) {
        if (WideToAnsi(AnsiToWide(text)) != text) ++mismatches;
        if (TextFromUtf8(TextToUtf8(text)) != text) ++mismatches;
        if (DecodeCharset(encoded, charset).value_or(Text()).View() != "\xD6\xD0") ++mismatches;
        if (CompareText(Text("\xA3\xE1"), Text("\xA3\xC1"), false) != 0) ++mismatches;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(TextThreadsTest, ShortLivedThreadsEachOpenAndCloseTheirConverters) {
  for (int round = 0; round < 50; ++round) {
    std::thread worker([] { EXPECT_EQ(AnsiToWide(Text("a")).Size(), 4); });
    worker.join();
  }
}

void QuietReporter(const Text&) {}

TEST(TextThreadsTest, ReporterSlotIsSafeToSwapFromThreads) {
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 1000; ++i) {
        SetFatalReporter(QuietReporter);
        SetFatalReporter(nullptr);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(SetFatalReporter(nullptr), nullptr);
}

}  // namespace
}  // namespace quorvane
