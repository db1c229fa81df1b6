// The picture fetch: one HTTP/1.0 GET of a picture address, as an old browser sends it (agent
// "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)", "Accept: */*", nothing taken from or
// kept in a cache), redirects followed to http and https targets only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quorvane/text/byte_set.h"
#include "quorvane/text/text.h"

namespace quorvane {

// An address made canonical (dot segments resolved, nothing escaped) and split into its parts.
struct PictureAddress {
  std::string scheme;  // "http" or "https", lower case
  std::string host;    // as written (an IPv6 literal keeps its brackets); never empty
  std::string port;    // the explicit port's digits, or empty for the scheme's default
  std::string userName;
  std::string password;
  std::string path;  // begins with "/"; the query kept, the fragment cut off

  // scheme://host[:port]path, without the credentials.
  std::string RequestUrl() const;
};

// Canonicalises and splits url. std::nullopt when it is no absolute http or https address with a
// host ("scheme://[user[:password]@]host[:port][path]", scheme in any letter case), when the
// port is not a number from 1 to 65535, or when a part is too long: host above 256 characters,
// user name or password above 128, path (query and fragment included) above 2048.
// "http://h/a/./b/../c?x=1#top" -> path "/a/c?x=1"; "http://h" -> path "/".
std::optional<PictureAddress> CrackPictureAddress(std::string_view url);

// The whole body of the reply to a GET of url; the empty byte set when nothing was received or
// url cannot be cracked. *completeSuccess (when given) becomes true only for a reply that ended
// normally with a 2xx status and a non-empty body: a broken transfer yields the bytes that
// arrived and false. Safe on any thread; the first call makes the process-wide set-up of the
// HTTP library once, also when two threads make their first call together.
ByteSet HttpGetFile(const Text& url, bool* completeSuccess = nullptr);

}  // namespace quorvane
