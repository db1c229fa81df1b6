#include "quorvane/app/picture_fetch.h"

#include <mutex>
#include <vector>

#include "quorvane/web/transfer.h"
#include "quorvane/web/web_request.h"

namespace quorvane {
namespace {

constexpr size_t kMaxHostLength = 256;
constexpr size_t kMaxCredentialLength = 128;
constexpr size_t kMaxPathLength = 2048;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

// RFC 3986 remove_dot_segments on an absolute path ("/" first).
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> segments;
  size_t start = 1;  // after the leading "/"
  bool endsInDirectory = false;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(start, end - start);
    const bool last = end == path.size();
    if (segment == ".") {
      endsInDirectory = last;
    } else if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      endsInDirectory = last;
    } else {
      segments.push_back(segment);
      endsInDirectory = false;
    }
    start = end + 1;
  }
  std::string resolved;
  for (const std::string_view segment : segments) {
    resolved += '/';
    resolved += segment;
  }
  if (endsInDirectory || resolved.empty()) resolved += '/';
  return resolved;
}

bool IsPort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return false;
  int value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 65535;
}

}  // namespace

std::string PictureAddress::RequestUrl() const {
  std::string url = scheme + "://" + host;
  if (!port.empty()) url += ":" + port;
  return url + path;
}

std::optional<PictureAddress> CrackPictureAddress(std::string_view url) {
  const size_t colon = url.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  PictureAddress address;
  address.scheme = LowerAscii(url.substr(0, colon));
  if (address.scheme != "http" && address.scheme != "https") return std::nullopt;
  std::string_view rest = url.substr(colon + 1);
  if (rest.substr(0, 2) != "//") return std::nullopt;
  rest.remove_prefix(2);

  const size_t authorityEnd = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, authorityEnd);
  std::string_view pathPart =
      authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    const std::string_view credentials = authority.substr(0, at);
    const size_t split = credentials.find(':');
    address.userName = std::string(credentials.substr(0, split));
    if (split != std::string_view::npos)
      address.password = std::string(credentials.substr(split + 1));
    authority.remove_prefix(at + 1);
  }
  // The port follows the last ":" unless that ":" lies inside an IPv6 literal.
  const size_t portColon = authority.rfind(':');
  const size_t bracketClose = authority.rfind(']');
  if (portColon != std::string_view::npos &&
      (bracketClose == std::string_view::npos || portColon > bracketClose)) {
    const std::string_view port = authority.substr(portColon + 1);
    if (!port.empty() && !IsPort(port)) return std::nullopt;
    address.port = std::string(port);
    authority = authority.substr(0, portColon);
  }
  address.host = std::string(authority);
  if (address.host.empty() || address.host.size() > kMaxHostLength ||
      address.userName.size() > kMaxCredentialLength ||
      address.password.size() > kMaxCredentialLength || pathPart.size() > kMaxPathLength) {
    return std::nullopt;
  }

  pathPart = pathPart.substr(0, pathPart.find('#'));  // the fragment is never sent
  const size_t queryStart = pathPart.find('?');
  const std::string_view query =
      queryStart == std::string_view::npos ? std::string_view() : pathPart.substr(queryStart);
  const std::string_view path = pathPart.substr(0, queryStart);
  address.path = (path.empty() ? std::string("/") : RemoveDotSegments(path)) + std::string(query);
  return address;
}

ByteSet HttpGetFile(const Text& url, bool* completeSuccess) {
  if (completeSuccess != nullptr) *completeSuccess = false;
  if (url.Empty()) return ByteSet();
  const std::optional<PictureAddress> address = CrackPictureAddress(url.View());
  if (!address) return ByteSet();

  // main() sets the HTTP library up before any thread; this covers callers that start
  // without it (tests, the benchmark), and call_once makes two first calls safe.
  static std::once_flag webAccessReady;
  std::call_once(webAccessReady, [] { InitializeWebAccess(); });

  TransferRequest request;
  request.url = address->RequestUrl();
  request.userName = address->userName;
  request.password = address->password;
  request.userAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
  request.headerLines = {"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache"};
  request.http10 = true;
  request.followRedirects = true;
  TransferResult result = Transfer(request);
  if (completeSuccess != nullptr) {
    *completeSuccess = result.complete && result.statusCode >= 200 && result.statusCode <= 299 &&
                       !result.body.Empty();
  }
  return std::move(result.body);
}

}  // namespace quorvane
