// Cracking an address the way WinHTTP does, and the request target made from it.
//
// An address is "scheme://[user[:password]@]host[:port][path][extra]": the scheme http or
// https in any letter case; the host up to the first "/", "?" or "#" (an IPv6 literal in
// brackets keeps them); an optional decimal port (empty or 0: the scheme's default, 80 or 443);
// the path from the first "/" up to the extra information; the extra information from the
// first "?" or "#" after the host to the end (query and fragment together). User information
// is cracked and ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "quorvane/text/text.h"

namespace quorvane {

struct UrlParts {
  bool secure = false;    // https
  Text host;              // as written; "[::1]" keeps its brackets
  int32_t port = 0;       // the explicit port or the scheme's default
  Text path;              // "" when the address has none
  Text extraInformation;  // "?a=1#top", or ""
};

// std::nullopt for: an empty address, no "://", a scheme other than http or https, an empty
// host, a port that is not decimal or above 65535, an unclosed "[".
std::optional<UrlParts> CrackUrl(const Text& url);

// The path requested: "/" alone when the path is empty (the extra information is then
// dropped), otherwise the path followed by the extra information.
Text RequestPath(const UrlParts& parts);

// The request target as it goes on the request line: the bytes of the path, except that
// spaces, control characters and DEL become %XX, and characters beyond ASCII become their
// UTF-8 bytes, each as %XX ("/a b" -> "/a%20b", "/中" -> "/%E4%B8%AD"). Everything else,
// "%" and "#" included, goes exactly as given.
std::string RequestLineTarget(const Text& requestPath);

// "http" or "https".
inline const char* SchemeName(const UrlParts& parts) { return parts.secure ? "https" : "http"; }

// The scheme's default port (80 or 443).
inline int32_t DefaultPort(bool secure) { return secure ? 443 : 80; }

// "scheme://host" with ":port" only when the port is not the scheme's default; the host in
// UTF-8. "http://127.0.0.1:8080", "https://example.org".
std::string OriginOf(const UrlParts& parts);

}  // namespace quorvane
