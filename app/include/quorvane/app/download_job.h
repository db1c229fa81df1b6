// DownloadImages: the whole work of the tool. Reads the note page address from the window,
// fetches the page, finds every picture element in it and saves each picture into the image
// folder under a fresh random name "xXxXxXxXxXxXxXx.jpg". Progress goes to status part 1:
//   "正在获取页面..."                   while the page is fetched
//   "正在下载..."                       when the pictures start
//   "正在下载... i/n"                   before picture i of n is fetched
//   "下载完毕"                          when all n were saved
//   "下载完毕，成功 a 张，失败 b 张"      when some were not
//   "未找到图片"                        when the page holds no picture element
//   the page fetch's failure message   e.g. "701 解析URL地址失败!" for an empty address
//   "页面获取失败：" + status text       e.g. "页面获取失败：404 Not Found"
// A picture is saved only after a complete 2xx reply with a non-empty body, under a name no
// file had (a taken name is drawn anew); anything else counts as a failure and saves nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "quorvane/app/job_window.h"
#include "quorvane/text/text.h"

namespace quorvane {

// The picture-element pattern; group 1 is the address without "http:" and without the
// character before "jp" (so "//host/a.jpg" gives "//host/a").
inline constexpr const char* kPicturePattern =
    R"(<i class="img" style="background-image:url\((.*?).jpg?)";

struct DownloadSettings {
  // Where the image folder "小红书" is; empty: the program's own folder (RunDirectory()).
  std::filesystem::path runDirectory{};
  // Draws a file name without extension; empty: RandomLetters(15, 2).
  std::function<Text()> drawName{};
  // How many names are drawn for one picture before it counts as a failure.
  int32_t nameAttempts = 100;
};

struct DownloadSummary {
  bool pageFetched = false;  // a 2xx page arrived
  int32_t found = 0;         // picture elements in the page
  int32_t saved = 0;
  int32_t failed = 0;
};

DownloadSummary DownloadImages(JobWindow& window, const DownloadSettings& settings = {});

// What part 1 shows when the page could not be had, from WebRequest's page and status text;
// empty when the page is there to be searched (a 2xx status). HTTP statuses other than 2xx
// give "页面获取失败：" + status text; a numbered failure message (an empty page and a status
// that is no HTTP status) is shown as it is, and an empty one as "页面获取失败：".
Text PageFailureStatus(const Text& page, const Text& statusText);

}  // namespace quorvane
