#include "proxy_list.h"

#include <string_view>
#include <vector>

namespace quorvane {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct Entry {
  std::string_view scheme;  // empty: serves every scheme without an entry of its own
  ProxyServer server;
};

std::optional<Entry> ReadEntry(std::string_view text) {
  Entry entry;
  const size_t equals = text.find('=');
  if (equals != std::string_view::npos) {
    entry.scheme = text.substr(0, equals);
    text.remove_prefix(equals + 1);
    if (entry.scheme.empty()) return std::nullopt;
  }
  const size_t separator = text.find("://");
  if (separator != std::string_view::npos) {
    if (!EqualsIgnoringCase(text.substr(0, separator), "http")) return std::nullopt;
    text.remove_prefix(separator + 3);
  }
  std::string_view host = text;
  std::optional<std::string_view> port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(0, close + 1);
    const std::string_view after = text.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port = after.substr(1);
    }
  } else if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  if (host.empty() || host == "[]" || host.find('/') != std::string_view::npos) {
    return std::nullopt;
  }
  entry.server.host = std::string(host);
  if (port) {
    if (port->empty() || port->size() > 5) return std::nullopt;
    int32_t value = 0;
    for (char c : *port) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return std::nullopt;
    entry.server.port = value;
  }
  return entry;
}

}  // namespace

Text ProxyListFor(const Text& proxyAddress, bool secure) {
  return secure ? proxyAddress : ConcatText(Text("http="), proxyAddress);
}

ProxyChoice ChooseProxy(const Text& proxyList, const std::string& scheme) {
  std::vector<Entry> entries;
  const std::string_view all = proxyList.View();
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find_first_of("; ", start);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view piece = all.substr(start, end - start);
    if (!piece.empty()) {
      std::optional<Entry> entry = ReadEntry(piece);
      if (!entry) return ProxyChoice{.valid = false, .server = std::nullopt};
      entries.push_back(*entry);
    }
    start = end + 1;
  }
  for (const Entry& entry : entries) {
    if (EqualsIgnoringCase(entry.scheme, scheme)) return ProxyChoice{.server = entry.server};
  }
  for (const Entry& entry : entries) {
    if (entry.scheme.empty()) return ProxyChoice{.server = entry.server};
  }
  return ProxyChoice{};
}

}  // namespace quorvane
