// Pieces of the libcurl transport that need no network, shared with its unit tests.
#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>
#include <vector>

#include "web_failure.h"

namespace quorvane {

// The one place where libcurl's result of a transfer becomes our failure stage, for a
// transfer that ended without the final response's header block:
//   - when the whole request went out (requestSent: connected, tunnel open, request and body
//     written), nothing usable came back: kNoResponse (a receive timeout, a connection closed
//     before a response, a reply that is not HTTP);
//   - otherwise the request could not be sent: kSend (name resolution, connection, TLS
//     handshake or certificate, proxy, send, or the connect or send limit running out).
// CURLE_OK without a response block counts as kNoResponse.
WebFailure FailureOfTransfer(CURLcode result, bool requestSent);

// The header lines handed to libcurl: ours in order, then an empty "Name:" line, which stops
// libcurl from adding a line of its own, for each of Accept, Content-Type, Expect, User-Agent
// and Proxy-Connection that ours lack (names compared without regard to letter case).
std::vector<std::string> LinesForLibrary(const std::vector<std::string>& lines);

// The status code of a status line ("HTTP/1.1 404 Not Found" -> 404); 0 when there is none.
int StatusCodeOfLine(std::string_view statusLine);

}  // namespace quorvane
