// The HTTP transport behind WebRequest and Transfer: one request and its redirects over the
// platform's HTTP library, reported as our failure stages. The Linux implementation is
// curl_transport.cpp (libcurl); nothing of the library shows here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "proxy_list.h"
#include "quorvane/text/byte_set.h"
#include "web_failure.h"

namespace quorvane {

struct BasicCredentials {
  std::string user;
  std::string password;
  // A pair is used only when both members are non-empty.
  bool Usable() const { return !user.empty() && !password.empty(); }
};

struct ExchangePlan {
  std::string method = "GET";
  // The absolute http or https address of the first request.
  std::string url;
  // When not empty, the first request's target exactly as it goes on the request line ("/a?b");
  // otherwise the library derives it from url. Requests after a redirect always derive it.
  std::string requestTarget;
  // The header lines in the order they go on the wire ("Name: value"); no value: the header
  // text could not be applied, which fails at the header step. The library adds only what it
  // must (Host, Content-Length, credentials): none of its default lines is sent.
  std::optional<std::vector<std::string>> headerLines = std::vector<std::string>();
  // The body, sent with every method when not empty (POST and PUT send an empty one too).
  std::string body;
  std::optional<ProxyServer> proxy;    // an HTTP proxy; https goes through it with CONNECT
  BasicCredentials serverCredentials;  // sent to the first address's host and port only
  BasicCredentials proxyCredentials;
  // Connect limit (name resolution, connection, TLS handshake) and inactivity limit while
  // sending the request and receiving the response.
  int32_t timeoutMilliseconds = 30000;
  // Keep the cookies responses set during this exchange and send them on later requests of it.
  bool cookieEngine = false;
  bool followRedirects = true;
  bool http10 = false;  // HTTP/1.0 instead of HTTP/1.1
};

struct ExchangeOutcome {
  // kNone; a setup step (kSession .. kHeaders); kSend, kNoResponse; or kBodyBroken when the
  // final response's body broke off after its header block came (answered is then true).
  WebFailure failure = WebFailure::kNone;
  // Whether the final response's header block came. A proxy that refuses to open a tunnel
  // answers in place of the server.
  bool answered = false;
  // The final response's status line and header lines, each ended by "\r\n", then "\r\n".
  // Blocks of earlier responses, of 1xx responses and of a proxy's tunnel reply are dropped.
  std::string rawHeaders;
  int statusCode = 0;  // of the final response
  ByteSet body;        // what arrived of the final response's body
};

// Process-wide start of the HTTP library; runs once, later calls return the first result.
bool StartHttpLibrary();

// Whether the library is started and speaks HTTP.
bool HttpLibrarySupportsHttp();

// Runs the exchange on the calling thread; never throws.
ExchangeOutcome RunExchange(const ExchangePlan& plan);

// Trusts the certificate authorities of this PEM text in addition to the system's store, for
// every later exchange; empty text trusts the system's store alone again.
void SetExtraTrustedAuthorities(std::string pem);

}  // namespace quorvane
