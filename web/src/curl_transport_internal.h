// Pieces of the libcurl transport that need no network, shared with its unit tests.
#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>
#include <vector>

#include "web_failure.h"

namespace quorvane {

// What was seen of one request while libcurl carried it out.
struct TransferProgress {
  // Connected (any tunnel open), and the request and its body written.
  bool requestSent = false;
  // The response's header block came complete.
  bool headersCame = false;
  // We ended the transfer ourselves right after the header block (a HEAD request).
  bool endedAfterHeaders = false;
};

// The one place where libcurl's result of a transfer becomes our failure stage:
//   - with the header block come: kNone when the transfer ended well or we ended it after
//     the headers, otherwise kBodyBroken (the body broke off or fell silent);
//   - without it, once the whole request went out: kNoResponse (a receive timeout, a
//     connection closed before a response, a reply that is not HTTP; also CURLE_OK);
//   - before that: kSend (name resolution, connection, TLS handshake or certificate, proxy,
//     send, or the connect or send limit running out).
WebFailure FailureOfTransfer(CURLcode result, const TransferProgress& progress);

// The header lines handed to libcurl: ours in order, then an empty "Name:" line, which stops
// libcurl from adding a line of its own, for each of Accept, Content-Type, Expect, User-Agent
// and Proxy-Connection that ours lack (names compared without regard to letter case).
std::vector<std::string> LinesForLibrary(const std::vector<std::string>& lines);

// The status code of a status line ("HTTP/1.1 404 Not Found" -> 404); 0 when there is none.
int StatusCodeOfLine(std::string_view statusLine);

}  // namespace quorvane
