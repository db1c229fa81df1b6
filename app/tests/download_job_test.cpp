// The download job end to end against a real nginx on loopback: note pages, pictures, the
// requests the server saw, the files in the image folder and the status texts in order.
#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "job_fixtures.h"
#include "quorvane/app/download_job.h"
#include "quorvane/app/image_files.h"
#include "quorvane/testing/test_servers.h"

namespace quorvane {
namespace {

namespace qt = quorvane::testing;
using apptest::FileContents;
using apptest::FileNames;
using apptest::IsPictureName;
using apptest::NotePage;
using apptest::PictureBytes;
using apptest::PictureElement;
using apptest::RecordingWindow;

qt::NginxEnvironment* const nginx =
    qt::AddEnvironment(new qt::NginxEnvironment([](qt::NginxServer& server) {
      server.WriteFile("p/a", PictureBytes(70000, 1));
      server.WriteFile("p/b", PictureBytes(1, 2));
      server.WriteFile("p/c", PictureBytes(300000, 3));
      server.WriteFile("p/empty", "");
      return qt::NginxConfig{.serverDirectives =
                                 "location = /moved/a { return 302 /p/a; }\n"
                                 "location = /gone.html { return 404; }\n"};
    }));

std::string Host() { return "//127.0.0.1:" + std::to_string(nginx->server().HttpPort()); }

class DownloadJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(runDirectory_.Path().empty());
    ASSERT_TRUE(MakeDirectory(folder_));
    nginx->server().TakeReceivedRequests(0, std::chrono::milliseconds(50));
  }

  // Serves a note page with these elements and returns its address.
  std::string ServePage(const std::string& name, const std::vector<std::string>& elements) {
    EXPECT_TRUE(nginx->server().WriteFile(name, NotePage(elements)));
    return nginx->server().HttpUrl("/" + name);
  }

  DownloadSummary Run(RecordingWindow& window) {
    return DownloadImages(window, {.runDirectory = runDirectory_.Path()});
  }

  // The targets of the picture requests the server saw (the page's own request left out).
  std::vector<std::string> PictureTargets(size_t expectedRequests) {
    std::vector<std::string> targets;
    for (const auto& request : nginx->server().TakeReceivedRequests(expectedRequests)) {
      if (request.target.find(".html") == std::string::npos) targets.push_back(request.target);
    }
    return targets;
  }

  qt::TempDirectory runDirectory_{"quorvane-job"};
  const std::filesystem::path folder_ = ImageFolder(runDirectory_.Path());
};

TEST_F(DownloadJobTest, SavesEveryPictureOfThePageUnderAFreshName) {
  const std::string page = ServePage(
      "three.html", {PictureElement(Host() + "/p/a.jpg"), PictureElement(Host() + "/p/b.jpg"),
                     PictureElement(Host() + "/p/c.jpg")});
  RecordingWindow window(page);
  const DownloadSummary summary = Run(window);

  EXPECT_EQ(summary.found, 3);
  EXPECT_EQ(summary.saved, 3);
  EXPECT_EQ(summary.failed, 0);
  EXPECT_EQ(window.StatusLog(),
            (std::vector<std::string>{"1:正在获取页面...", "1:正在下载...", "1:正在下载... 1/3",
                                      "1:正在下载... 2/3", "1:正在下载... 3/3", "1:下载完毕"}));

  std::multiset<std::string> saved;
  for (const auto& [name, bytes] : FileContents(folder_)) {
    EXPECT_TRUE(IsPictureName(name)) << name;
    saved.insert(bytes);
  }
  EXPECT_EQ(saved, (std::multiset<std::string>{PictureBytes(70000, 1), PictureBytes(1, 2),
                                               PictureBytes(300000, 3)}));

  // One page request, then the pictures one after another, as an old browser asks for them.
  const auto requests = nginx->server().TakeReceivedRequests(4);
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].target, "/three.html");
  const char* const pictureTargets[] = {"/p/a", "/p/b", "/p/c"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(pictureTargets[i]);
    const auto& request = requests[i + 1];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, pictureTargets[i]);
    EXPECT_EQ(request.protocol, "HTTP/1.0");
    EXPECT_EQ(request.Header("user-agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(request.Header("accept"), "*/*");
    EXPECT_EQ(request.Header("cache-control"), "no-cache");
    EXPECT_EQ(request.Header("pragma"), "no-cache");
    EXPECT_FALSE(request.HasHeader("cookie"));
  }
}

// How an element's address becomes the request the server sees.
TEST_F(DownloadJobTest, RequestsTheAddressBeforeTheCharacterAheadOfJp) {
  struct Row {
    const char* label;
    std::string element;
    std::string expectedTarget;
  };
  const Row rows[] = {
      {"plain .jpg", PictureElement(Host() + "/p/a.jpg"), "/p/a"},
      {"element in capitals",
       "<I CLASS=\"IMG\" STYLE=\"BACKGROUND-IMAGE:URL(" + Host() + "/p/a.JPG)\"></I>", "/p/a"},
      {".jpeg", PictureElement(Host() + "/p/a.jpeg"), "/p/a"},
      {"query after .jpg", PictureElement(Host() + "/p/a.jpg?w=1&h=2"), "/p/a"},
      {"dot segments resolved", PictureElement(Host() + "/x/./../p/q/../a.jpg"), "/p/a"},
      {"fragment never sent", PictureElement(Host() + "/p/a#part.jpg"), "/p/a"},
      {"redirect followed", PictureElement(Host() + "/moved/a.jpg"), "/moved/a"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::filesystem::remove_all(folder_);
    ASSERT_TRUE(MakeDirectory(folder_));
    RecordingWindow window(ServePage("one.html", {row.element}));
    const DownloadSummary summary = Run(window);
    EXPECT_EQ(summary.saved, 1);
    const auto files = FileContents(folder_);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(IsPictureName(files.begin()->first)) << files.begin()->first;
    EXPECT_EQ(files.begin()->second, PictureBytes(70000, 1));
    const auto targets = PictureTargets(2);
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets.front(), row.expectedTarget);
    EXPECT_EQ(window.StatusLog().back(), "1:下载完毕");
  }
}

// Replies that are no picture save nothing and are counted as failures.
TEST_F(DownloadJobTest, CountsPicturesThatCannotBeHadAsFailures) {
  const int deadPort = qt::FreeLoopbackPort();
  ASSERT_NE(deadPort, 0);
  struct Row {
    const char* label;
    std::string element;
  };
  const Row rows[] = {
      {"404 with an error page", PictureElement(Host() + "/missing/x.jpg")},
      {"nothing listening", PictureElement("//127.0.0.1:" + std::to_string(deadPort) + "/p/a.jpg")},
      {"empty body", PictureElement(Host() + "/p/empty.jpg")},
      {"no host", PictureElement("///p/a.jpg")},
      {"port out of range", PictureElement("//127.0.0.1:70000/p/a.jpg")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    RecordingWindow window(
        ServePage("mixed.html", {PictureElement(Host() + "/p/b.jpg"), row.element}));
    const DownloadSummary summary = Run(window);
    EXPECT_EQ(summary.saved, 1);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(window.StatusLog().back(), "1:下载完毕，成功 1 张，失败 1 张");
    std::filesystem::remove_all(folder_);
    ASSERT_TRUE(MakeDirectory(folder_));
  }
}

TEST_F(DownloadJobTest, SavesNothingWhenEveryPictureFails) {
  RecordingWindow window(ServePage("bad.html", {PictureElement(Host() + "/missing/1.jpg"),
                                                PictureElement(Host() + "/missing/2.jpg")}));
  Run(window);
  EXPECT_EQ(window.StatusLog().back(), "1:下载完毕，成功 0 张，失败 2 张");
  EXPECT_TRUE(FileNames(folder_).empty());
}

// When the page cannot be had or holds no picture, the job says why and touches no file.
TEST_F(DownloadJobTest, ReportsWhyThereWasNothingToDownload) {
  ServePage("plain.html", {"<p>no pictures here</p>", "<i class=\"img\">"});
  struct Row {
    const char* label;
    std::string address;
    std::string finalStatus;
  };
  const Row rows[] = {
      {"empty address", "", "1:701 解析URL地址失败!"},
      {"not a web address", "ftp://127.0.0.1/x", "1:701 解析URL地址失败!"},
      {"page answers 404", nginx->server().HttpUrl("/gone.html"), "1:页面获取失败：404 Not Found"},
      {"page without picture elements", nginx->server().HttpUrl("/plain.html"), "1:未找到图片"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ASSERT_TRUE(qt::WriteWholeFile((folder_ / "keep.jpg").string(), "mine"));
    RecordingWindow window(row.address);
    const DownloadSummary summary = Run(window);
    EXPECT_EQ(summary.saved, 0);
    EXPECT_EQ(window.StatusLog(), (std::vector<std::string>{"1:正在获取页面...", row.finalStatus}));
    EXPECT_EQ(FileNames(folder_), std::vector<std::string>{"keep.jpg"});
  }
}

TEST_F(DownloadJobTest, FailsEachPictureWhenTheImageFolderIsMissing) {
  std::filesystem::remove_all(folder_);
  RecordingWindow window(ServePage(
      "two.html", {PictureElement(Host() + "/p/a.jpg"), PictureElement(Host() + "/p/b.jpg")}));
  const DownloadSummary summary = Run(window);
  EXPECT_EQ(summary.failed, 2);
  EXPECT_EQ(window.StatusLog().back(), "1:下载完毕，成功 0 张，失败 2 张");
  EXPECT_FALSE(std::filesystem::exists(folder_));  // the job does not make the folder again
}

// A name that is taken is drawn anew; the file that had it stays as it was.
TEST_F(DownloadJobTest, NeverReplacesAFileWhoseNameWasDrawn) {
  ASSERT_TRUE(qt::WriteWholeFile((folder_ / "aAaAaAaAaAaAaAa.jpg").string(), "older picture"));
  std::vector<std::string> names = {"aAaAaAaAaAaAaAa", "aAaAaAaAaAaAaAa", "bBbBbBbBbBbBbBb"};
  std::atomic<size_t> drawn = 0;
  RecordingWindow window(ServePage("one.html", {PictureElement(Host() + "/p/a.jpg")}));
  const DownloadSummary summary =
      DownloadImages(window, {.runDirectory = runDirectory_.Path(),
                              .drawName = [&] { return apptest::FromUtf8(names.at(drawn++)); }});
  EXPECT_EQ(summary.saved, 1);
  EXPECT_EQ(drawn, 3u);
  const auto files = FileContents(folder_);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files.at("aAaAaAaAaAaAaAa.jpg"), "older picture");
  EXPECT_EQ(files.at("bBbBbBbBbBbBbBb.jpg"), PictureBytes(70000, 1));
}

TEST_F(DownloadJobTest, GivesUpAPictureWhenEveryNameDrawnIsTaken) {
  ASSERT_TRUE(qt::WriteWholeFile((folder_ / "aAaAaAaAaAaAaAa.jpg").string(), "older picture"));
  int drawn = 0;
  RecordingWindow window(ServePage("one.html", {PictureElement(Host() + "/p/a.jpg")}));
  const DownloadSummary summary =
      DownloadImages(window, {.runDirectory = runDirectory_.Path(),
                              .drawName =
                                  [&] {
                                    ++drawn;
                                    return apptest::FromUtf8("aAaAaAaAaAaAaAa");
                                  },
                              .nameAttempts = 5});
  EXPECT_EQ(summary.failed, 1);
  EXPECT_EQ(drawn, 5);
  EXPECT_EQ(FileContents(folder_),
            (std::map<std::string, std::string>{{"aAaAaAaAaAaAaAa.jpg", "older picture"}}));
  EXPECT_EQ(window.StatusLog().back(), "1:下载完毕，成功 0 张，失败 1 张");
}

TEST_F(DownloadJobTest, TwoJobsAtOnceBothSaveAllTheirPictures) {
  const std::string first = ServePage(
      "first.html", {PictureElement(Host() + "/p/a.jpg"), PictureElement(Host() + "/p/c.jpg")});
  const std::string second = ServePage(
      "second.html", {PictureElement(Host() + "/p/b.jpg"), PictureElement(Host() + "/p/c.jpg"),
                      PictureElement(Host() + "/p/a.jpg")});
  RecordingWindow firstWindow(first);
  RecordingWindow secondWindow(second);
  DownloadSummary firstSummary, secondSummary;
  std::thread firstJob([&] { firstSummary = Run(firstWindow); });
  std::thread secondJob([&] { secondSummary = Run(secondWindow); });
  firstJob.join();
  secondJob.join();

  EXPECT_EQ(firstSummary.saved, 2);
  EXPECT_EQ(secondSummary.saved, 3);
  EXPECT_EQ(firstWindow.StatusLog().back(), "1:下载完毕");
  EXPECT_EQ(secondWindow.StatusLog().back(), "1:下载完毕");
  std::multiset<std::string> saved;
  for (const auto& [name, bytes] : FileContents(folder_)) {
    EXPECT_TRUE(IsPictureName(name)) << name;
    saved.insert(bytes);
  }
  EXPECT_EQ(saved, (std::multiset<std::string>{PictureBytes(70000, 1), PictureBytes(70000, 1),
                                               PictureBytes(1, 2), PictureBytes(300000, 3),
                                               PictureBytes(300000, 3)}));
}

// How the page fetch's outcome decides what part 1 shows.
TEST(PageFailureStatusTest, TellsAPageFromAFailure) {
  struct Row {
    const char* page;
    const char* statusText;
    const char* expected;
  };
  const Row rows[] = {
      {"<p>x</p>", "200 OK", ""},
      {"", "204 No Content", ""},
      {"<p>x</p>", "404 Not Found", "页面获取失败：404 Not Found"},
      {"", "500 Internal Server Error", "页面获取失败：500 Internal Server Error"},
      {"", "301 Moved Permanently", "页面获取失败：301 Moved Permanently"},
      {"", "701 解析URL地址失败!", "701 解析URL地址失败!"},
      {"", "712 服务器未响应!", "712 服务器未响应!"},
      {"", "", "页面获取失败："},
      {"<p>x</p>", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.page) + " | " + row.statusText);
    EXPECT_EQ(apptest::Utf8(PageFailureStatus(apptest::FromUtf8(row.page),
                                              apptest::FromUtf8(row.statusText))),
              row.expected);
  }
}

}  // namespace
}  // namespace quorvane
