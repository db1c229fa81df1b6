// One HTTP request as a test server saw it.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace quorvane::testing {

struct ReceivedRequest {
  std::string requestLine;  // the whole first line without its "\r\n"
  std::string method;       // "GET", "POST", ...
  std::string target;       // the request target exactly as sent: path plus "?query"
  std::string protocol;     // "HTTP/1.1", "HTTP/1.0"
  std::string scheme;       // "http" or "https": which port of the server received it
  int status = 0;           // the status code the server answered with
  // Header name (lower case) to value. Only headers that were present with a non-empty value
  // appear: nginx cannot tell an empty header from a missing one. A repeated header holds its
  // first value, except "cookie", whose values nginx joins with "; ".
  std::map<std::string, std::string> headers;
  // The request body where the server read it (see NginxServer::ReadBodyDirectives), else empty.
  std::string body;

  // The header's value, or empty when it was not received.
  std::string Header(const std::string& lowerCaseName) const {
    auto found = headers.find(lowerCaseName);
    return found == headers.end() ? std::string() : found->second;
  }
  bool HasHeader(const std::string& lowerCaseName) const {
    return headers.count(lowerCaseName) != 0;
  }
};

// The value of an Authorization or Proxy-Authorization line for Basic credentials
// ("Basic " + base64 of "user:password"), to send or to compare with what a server received.
std::string BasicAuthorizationValue(std::string_view user, std::string_view password);

}  // namespace quorvane::testing
