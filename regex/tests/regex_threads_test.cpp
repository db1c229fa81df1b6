#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "quorvane/regex/regex_object.h"
#include "quorvane/text/code_page.h"
#include "quorvane/text/text.h"

namespace quorvane {
namespace {

constexpr char kPicturePattern[] = R"(<i class="img" style="background-image:url\((.*?).jpg?)";

Text PageWithPictures(int worker, int pictures) {
  std::string page = "<html>笔记";
  for (int i = 0; i < pictures; ++i) {
    page += R"(<i class="img" style="background-image:url(//w)" + std::to_string(worker) + "/" +
            std::to_string(i) + ".jpg)\"></i>";
  }
  return TextFromUtf8(page);
}

// Several download jobs at once, each on its own thread with its own object,
// and copies that share one run's engine and collection read on other threads.
TEST(RegexObjectThreads, JobsOnSeveralThreadsDoNotDisturbEachOther) {
  constexpr int kWorkers = 4;
  constexpr int kPictures = 50;
  RegexObject shared;
  ASSERT_TRUE(shared.Create(kPicturePattern, PageWithPictures(99, kPictures)));

  std::vector<int> wrong(kWorkers, 0);
  std::vector<std::thread> workers;
  for (int worker = 0; worker < kWorkers; ++worker) {
    workers.emplace_back([&, worker] {
      const RegexObject copy(shared);
      RegexObject own;
      for (int round = 0; round < 5; ++round) {
        if (!own.Create(kPicturePattern, PageWithPictures(worker, kPictures)) ||
            own.MatchCount() != kPictures || copy.MatchCount() != kPictures) {
          ++wrong[worker];
          continue;
        }
        for (int i = 1; i <= kPictures; ++i) {
          const std::string suffix = "/" + std::to_string(i - 1);
          if (TextToUtf8(own.GroupText(i, 1)) != "//w" + std::to_string(worker) + suffix ||
              TextToUtf8(copy.GroupText(i, 1)) != "//w99" + suffix) {
            ++wrong[worker];
          }
        }
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  for (int worker = 0; worker < kWorkers; ++worker) {
    EXPECT_EQ(wrong[worker], 0) << "worker " << worker;
  }
}

}  // namespace
}  // namespace quorvane
