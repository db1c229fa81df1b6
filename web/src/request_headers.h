// The request's method, timeout and header lines, worked out from the caller's options before
// anything goes on the wire.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quorvane/text/text.h"

namespace quorvane {

// 0 "GET", 1 "POST", 2 "HEAD", 3 "PUT", 4 "OPTIONS", 5 "DELETE", 6 "TRACE", 7 "CONNECT";
// any other code "GET".
const char* MethodName(int32_t method);

// The one limit in milliseconds for resolving, connecting, sending and receiving:
// seconds * 1000, 30000 when seconds <= 0; seconds above 2147483 count as 2147483 so that the
// value fits a signed 32-bit number.
int32_t TimeoutMilliseconds(int32_t seconds);

// The request header text: extraHeaders and "\r\n" (when extraHeaders is not empty), then each
// default line whose probe does not yet occur anywhere in the text built so far:
//   "User-Agent: "      (letter case ignored)  User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; ...)
//   "Accept: "          (ignored)              Accept: text/html, application/xhtml+xml, */*
//   "Accept-Encoding: " (ignored)              Accept-Encoding: gbk, GB2312
//   "Accept-Language: " (ignored)              Accept-Language: zh-cn
//   "Content-Type:"     (exact; method 1 only) Content-Type: application/x-www-form-urlencoded
//   "Cache-Control: "   (ignored)              Cache-Control: no-cache
//   "Cookie: "          (ignored; only when *requestCookies is given and not empty)
//                                              Cookie: <*requestCookies>
// each ended by "\r\n". Probes match inside longer names: "X-Accept: 1" keeps Accept out.
Text AssembleRequestHeaderText(const Text& extraHeaders, int32_t method,
                               const Text* requestCookies);

// The header lines that go on the wire, from a header text of lines separated by "\r\n", by
// the add-or-replace rule: lines are taken in order; a line whose name (the text before its
// first ":", letter case ignored) is already present replaces that line in its place, and one
// whose value (after the ":", spaces and tabs trimmed) is empty removes it; a new name with a
// value is appended, a new name without one adds nothing. Empty lines are skipped.
// std::nullopt when a line cannot be a header line: no ":", an empty name, or a space, tab, CR
// or LF in the name or a CR or LF anywhere in the line.
std::optional<std::vector<Text>> ApplyHeaderText(const Text& headerText);

// The name of a header line ("Accept" of "Accept: */*"); the whole line without a ":".
std::string HeaderName(const Text& line);

}  // namespace quorvane
