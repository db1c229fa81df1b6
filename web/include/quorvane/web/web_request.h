// WebRequest: fetches one HTTP or HTTPS resource synchronously on the calling
// thread and returns the body as code page 936 text, re-decoded when the page
// declares another character set in a meta tag within its first 1024 bytes.
//
// Failures never throw: a numbered message ("700 ..." to "713 ...") goes to
// *StatusText and the result is the empty text. Out-parameters are the
// caller's variables: null means omitted, and none is cleared on entry.
#pragma once

#include <cstdint>
#include <string>

#include "quorvane/text/byte_set.h"
#include "quorvane/text/text.h"

namespace quorvane {

// The options, in the order of the routine's parameter list after Url. Use
// designated initialisers: WebRequest(url, {.Method = 1, .PostData = "a=1"}). Every field
// has a default member initialiser, so any may be left out without a compiler warning.
struct WebRequestOptions {
  // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT; others GET.
  int32_t Method = 0;
  // The request body, sent as its bytes with every method.
  Text PostData{};
  // Null: omitted (no cookie handling). Given, also when empty: the Cookie
  // line's list, the old list of the merge, which the merge rewrites in place.
  Text* RequestCookies = nullptr;
  // In/out: the cookies the response set, joined by "; ", built on its entry value.
  Text* ResponseCookies = nullptr;
  // The caller's header lines separated by "\r\n", without a final line break.
  Text ExtraHeaders{};
  // Out: the raw headers of the final response, each line ended by "\r\n".
  Text* ResponseHeaders = nullptr;
  // Do not follow redirects.
  bool NoRedirect = false;
  // Basic credentials for the server; used only when both are non-empty.
  Text UserName{};
  Text Password{};
  // "host:port" of an HTTP proxy (WinHTTP proxy-list syntax); empty: no proxy.
  Text ProxyAddress{};
  // Basic credentials for the proxy; used only when both are non-empty.
  Text ProxyUserName{};
  Text ProxyPassword{};
  // Resolve, connect, send and receive limits; 0 or less means 30 seconds.
  int32_t TimeoutSeconds = 0;
  // Out: the value of the final response's Location line; untouched without one.
  Text* RedirectLocation = nullptr;
  // Out: the status text ("200 OK") or a failure message.
  Text* StatusText = nullptr;
  // Out: the raw response body.
  ByteSet* ResponseBytes = nullptr;
  // Merge *ResponseCookies into *RequestCookies (when RequestCookies is given).
  bool AutoMergeCookies = true;
};

Text WebRequest(const Text& Url, const WebRequestOptions& options = {});

// Process-wide set-up of the HTTP library; call once from main before any
// thread starts. Safe to call again. False when the library cannot start.
bool InitializeWebAccess();

// For tests only: trust the certificate authority in this PEM file in
// addition to the system's store. An empty path removes it again.
void TrustExtraCertificateAuthorityForTesting(const std::string& pemFile);

}  // namespace quorvane
