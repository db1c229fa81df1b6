#include "url_parts.h"

#include <string_view>

#include "quorvane/text/code_page.h"

namespace quorvane {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The port text after the host: empty or 0 means the default; otherwise 1..65535.
std::optional<int32_t> ParsePort(std::string_view digits, bool secure) {
  if (digits.empty()) return DefaultPort(secure);
  if (digits.size() > 5) return std::nullopt;
  int32_t port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port > 65535) return std::nullopt;
  return port == 0 ? DefaultPort(secure) : port;
}

}  // namespace

std::optional<UrlParts> CrackUrl(const Text& url) {
  const std::string_view all = url.View();
  const size_t schemeEnd = all.find("://");
  if (schemeEnd == std::string_view::npos) return std::nullopt;
  UrlParts parts;
  const std::string_view scheme = all.substr(0, schemeEnd);
  if (EqualsIgnoringCase(scheme, "https")) {
    parts.secure = true;
  } else if (!EqualsIgnoringCase(scheme, "http")) {
    return std::nullopt;
  }

  const std::string_view rest = all.substr(schemeEnd + 3);
  const size_t authorityEnd = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, authorityEnd);
  const std::string_view tail =
      authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

  // User information ends at the last "@" of the authority.
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);

  std::string_view host = authority;
  std::string_view portText;
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(0, close + 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      portText = after.substr(1);
    }
  } else {
    const size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      portText = authority.substr(colon + 1);
    }
  }
  if (host.empty() || host == "[]") return std::nullopt;
  const std::optional<int32_t> port = ParsePort(portText, parts.secure);
  if (!port) return std::nullopt;

  parts.host = Text(host);
  parts.port = *port;
  const size_t extraStart = tail.find_first_of("?#");
  parts.path = Text(tail.substr(0, extraStart));
  if (extraStart != std::string_view::npos) parts.extraInformation = Text(tail.substr(extraStart));
  return parts;
}

Text RequestPath(const UrlParts& parts) {
  if (parts.path.Empty()) return Text("/");
  return ConcatText(parts.path, parts.extraInformation);
}

std::string RequestLineTarget(const Text& requestPath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  bool ascii = true;
  for (char c : requestPath.View()) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  const std::string bytes = ascii ? std::string(requestPath.View()) : TextToUtf8(requestPath);
  std::string target;
  target.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      target += '%';
      target += kHex[byte >> 4];
      target += kHex[byte & 0x0F];
    } else {
      target += c;
    }
  }
  return target;
}

std::string OriginOf(const UrlParts& parts) {
  std::string origin = SchemeName(parts);
  origin += "://";
  origin += TextToUtf8(parts.host);
  if (parts.port != DefaultPort(parts.secure)) origin += ":" + std::to_string(parts.port);
  return origin;
}

}  // namespace quorvane
