#include "request_headers.h"

#include <string_view>

#include "quorvane/text/text_array.h"

namespace quorvane {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

const char* MethodName(int32_t method) {
  static constexpr const char* kNames[] = {"GET",     "POST",   "HEAD",  "PUT",
                                           "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  return method >= 0 && method <= 7 ? kNames[method] : "GET";
}

int32_t TimeoutMilliseconds(int32_t seconds) {
  constexpr int32_t kLargestSeconds = 2147483;  // 2147483000 ms still fits
  if (seconds <= 0) return 30000;
  if (seconds > kLargestSeconds) seconds = kLargestSeconds;
  return seconds * 1000;
}

Text AssembleRequestHeaderText(const Text& extraHeaders, int32_t method,
                               const Text* requestCookies) {
  Text text = extraHeaders;
  if (!text.Empty()) text.Append("\r\n");
  const auto addUnlessPresent = [&text](const char* probe, bool ignoreCase, const Text& line) {
    if (FindText(text, probe, 1, ignoreCase) == -1) text.Append(line).Append("\r\n");
  };
  addUnlessPresent("User-Agent: ", true,
                   "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; "
                   "Trident/5.0)");
  addUnlessPresent("Accept: ", true, "Accept: text/html, application/xhtml+xml, */*");
  addUnlessPresent("Accept-Encoding: ", true, "Accept-Encoding: gbk, GB2312");
  addUnlessPresent("Accept-Language: ", true, "Accept-Language: zh-cn");
  if (method == 1) {
    addUnlessPresent("Content-Type:", false, "Content-Type: application/x-www-form-urlencoded");
  }
  addUnlessPresent("Cache-Control: ", true, "Cache-Control: no-cache");
  if (requestCookies != nullptr && !requestCookies->Empty()) {
    addUnlessPresent("Cookie: ", true, ConcatText(Text("Cookie: "), *requestCookies));
  }
  return text;
}

std::string HeaderName(const Text& line) {
  const std::string_view view = line.View();
  return std::string(view.substr(0, view.find(':')));
}

std::optional<std::vector<Text>> ApplyHeaderText(const Text& headerText) {
  std::vector<Text> lines;
  for (const Text& line : SplitText(headerText, "\r\n")) {
    const std::string_view view = line.View();
    if (view.empty()) continue;
    const size_t colon = view.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    const std::string_view name = view.substr(0, colon);
    if (name.find_first_of(" \t\r\n") != std::string_view::npos) return std::nullopt;
    if (view.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
    const bool hasValue = !TrimBlanks(view.substr(colon + 1)).empty();

    auto present = lines.begin();
    while (present != lines.end() && !SameName(HeaderName(*present), name)) ++present;
    if (present == lines.end()) {
      if (hasValue) lines.push_back(line);
    } else if (hasValue) {
      *present = line;
    } else {
      lines.erase(present);
    }
  }
  return lines;
}

}  // namespace quorvane
