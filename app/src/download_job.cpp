#include "quorvane/app/download_job.h"

#include <string>

#include "quorvane/app/image_files.h"
#include "quorvane/app/picture_fetch.h"
#include "quorvane/app/random_names.h"
#include "quorvane/regex/regex_object.h"
#include "quorvane/text/byte_set.h"
#include "quorvane/text/code_page.h"
#include "quorvane/web/web_request.h"

namespace quorvane {
namespace {

constexpr int32_t kProgressPart = 1;

struct StatusTexts {
  Text fetchingPage = TextFromUtf8("正在获取页面...");
  Text downloading = TextFromUtf8("正在下载...");
  Text done = TextFromUtf8("下载完毕");
  Text doneWithCounts = TextFromUtf8("下载完毕，成功 ");
  Text failedCount = TextFromUtf8(" 张，失败 ");
  Text pictures = TextFromUtf8(" 张");
  Text noPictures = TextFromUtf8("未找到图片");
  Text pageFailed = TextFromUtf8("页面获取失败：");
};

const StatusTexts& Texts() {
  static const StatusTexts texts;
  return texts;
}

Text Number(int32_t value) { return Text(std::to_string(value)); }

// The HTTP status code at the start of a status text such as "404 Not Found", or 0.
int StatusCodeOf(const Text& statusText) {
  const std::string_view text = statusText.View();
  if (text.size() < 3 || (text.size() > 3 && text[3] != ' ')) return 0;
  int code = 0;
  for (int i = 0; i < 3; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    code = code * 10 + (text[i] - '0');
  }
  return code >= 100 && code <= 599 ? code : 0;
}

}  // namespace

Text PageFailureStatus(const Text& page, const Text& statusText) {
  const int code = StatusCodeOf(statusText);
  if (code >= 200 && code <= 299) return Text();
  if (code != 0) return ConcatText(Texts().pageFailed, statusText);
  if (!page.Empty()) return Text();  // a page without a status line is still a page
  return statusText.Empty() ? Texts().pageFailed : statusText;
}

DownloadSummary DownloadImages(JobWindow& window, const DownloadSettings& settings) {
  const StatusTexts& texts = Texts();
  DownloadSummary summary;
  RegexObject matcher;

  const Text pageAddress = window.ReadAddress();
  window.SetStatusPart(kProgressPart, texts.fetchingPage);
  // The address alone, and the status text to say why a page could not be had.
  Text statusText;
  WebRequestOptions options;
  options.StatusText = &statusText;
  const Text page = WebRequest(pageAddress, options);
  const Text failure = PageFailureStatus(page, statusText);
  if (!failure.Empty()) {
    window.SetStatusPart(kProgressPart, failure);
    return summary;
  }
  summary.pageFetched = true;

  matcher.Create(kPicturePattern, page);
  const int32_t count = matcher.MatchCount();
  summary.found = count > 0 ? count : 0;
  if (count < 1) {
    window.SetStatusPart(kProgressPart, texts.noPictures);
    return summary;
  }
  window.SetStatusPart(kProgressPart, texts.downloading);

  const std::filesystem::path runDirectory =
      settings.runDirectory.empty() ? RunDirectory() : settings.runDirectory;
  const std::filesystem::path folder = ImageFolder(runDirectory);
  // Without a known run directory there is no image folder: nothing is saved anywhere else.
  const bool folderKnown = !runDirectory.empty();
  for (int32_t i = 1; i <= count; ++i) {
    window.SetStatusPart(kProgressPart, ConcatText(texts.downloading, Text(" "), Number(i),
                                                   Text("/"), Number(count)));
    const Text pictureUrl = ConcatText(Text("http:"), matcher.GroupText(i, 1));
    bool wholeReply = false;
    const ByteSet bytes = HttpGetFile(pictureUrl, &wholeReply);
    SaveOutcome outcome = SaveOutcome::kFailed;
    for (int32_t attempt = 0; wholeReply && folderKnown && attempt < settings.nameAttempts;
         ++attempt) {
      const Text name = settings.drawName ? settings.drawName() : RandomLetters(15, 2);
      // The names are ASCII letters, so their bytes are the same in every encoding.
      outcome = SaveNewFile(folder / (std::string(name.View()) + ".jpg"), bytes.View());
      if (outcome != SaveOutcome::kNameTaken) break;
    }
    if (outcome == SaveOutcome::kSaved) {
      ++summary.saved;
    } else {
      ++summary.failed;
    }
  }

  if (summary.failed == 0) {
    window.SetStatusPart(kProgressPart, texts.done);
  } else {
    window.SetStatusPart(kProgressPart,
                         ConcatText(texts.doneWithCounts, Number(summary.saved), texts.failedCount,
                                    Number(summary.failed), texts.pictures));
  }
  return summary;
}

}  // namespace quorvane
