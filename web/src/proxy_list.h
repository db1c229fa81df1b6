// Choosing the proxy for a request from a proxy list in WinHTTP's syntax.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "quorvane/text/text.h"

namespace quorvane {

struct ProxyServer {
  std::string host;  // as written ("127.0.0.1", "[::1]", "proxy.lan")
  int32_t port = 80;
};

// The proxy list for a request: proxyAddress unchanged for an https address, "http=" followed
// by proxyAddress for an http address. "p:8080" -> "http=p:8080" (http), "p:8080" (https).
Text ProxyListFor(const Text& proxyAddress, bool secure);

struct ProxyChoice {
  bool valid = true;                  // false: the list cannot be read
  std::optional<ProxyServer> server;  // no value: the request goes direct
};

// Reads a proxy list: entries separated by ";" or spaces, each "[scheme=][http://]host[:port]"
// (the port 80 when absent). The entry for scheme ("http" or "https", letter case ignored)
// wins; otherwise the first entry without "scheme=" serves; otherwise no proxy. An entry with
// an empty host, a port that is not 1..65535 in decimal, or a proxy scheme other than
// "http://" makes the whole list invalid.
ProxyChoice ChooseProxy(const Text& proxyList, const std::string& scheme);

}  // namespace quorvane
