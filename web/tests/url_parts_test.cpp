#include "url_parts.h"

#include <gtest/gtest.h>

#include "quorvane/text/code_page.h"

namespace quorvane {
namespace {

struct CrackRow {
  const char* url;
  bool secure;
  const char* host;
  int32_t port;
  const char* path;
  const char* extra;
  const char* requestPath;
};

TEST(CrackUrl, SplitsAddressesTheWayWinHttpDoes) {
  const CrackRow rows[] = {
      // Scheme, host, port, path and extra information.
      {"http://127.0.0.1:8080/a/b?x=1#f", false, "127.0.0.1", 8080, "/a/b", "?x=1#f", "/a/b?x=1#f"},
      {"HTTPS://Example.org", true, "Example.org", 443, "", "", "/"},
      {"http://h/", false, "h", 80, "/", "", "/"},
      {"http://h/p ", false, "h", 80, "/p ", "", "/p "},
      // The extra information starts at the first "?" or "#", whichever comes first.
      {"http://h/p?q#f?g", false, "h", 80, "/p", "?q#f?g", "/p?q#f?g"},
      {"http://h/p#f?q", false, "h", 80, "/p", "#f?q", "/p#f?q"},
      // An empty path is requested as "/" and its extra information is dropped.
      {"http://h?x=1", false, "h", 80, "", "?x=1", "/"},
      {"http://h#top", false, "h", 80, "", "#top", "/"},
      // Ports: explicit, empty and 0 mean the scheme's default.
      {"http://h:/p", false, "h", 80, "/p", "", "/p"},
      {"http://h:0/p", false, "h", 80, "/p", "", "/p"},
      {"https://h:0", true, "h", 443, "", "", "/"},
      {"https://h:80/", true, "h", 80, "/", "", "/"},
      {"http://h:65535/", false, "h", 65535, "/", "", "/"},
      // User information is cracked off; IPv6 literals keep their brackets.
      {"http://u:p@h:81/p", false, "h", 81, "/p", "", "/p"},
      {"http://a@b@h/p", false, "h", 80, "/p", "", "/p"},
      {"http://[::1]:8080/x", false, "[::1]", 8080, "/x", "", "/x"},
      {"http://[::1]/", false, "[::1]", 80, "/", "", "/"},
  };
  for (const CrackRow& row : rows) {
    SCOPED_TRACE(row.url);
    const std::optional<UrlParts> parts = CrackUrl(row.url);
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->secure, row.secure);
    EXPECT_EQ(parts->host.View(), row.host);
    EXPECT_EQ(parts->port, row.port);
    EXPECT_EQ(parts->path.View(), row.path);
    EXPECT_EQ(parts->extraInformation.View(), row.extra);
    EXPECT_EQ(RequestPath(*parts).View(), row.requestPath);
  }
}

TEST(CrackUrl, RefusesWhatIsNoHttpAddress) {
  const char* const rows[] = {
      "",                  // empty
      "127.0.0.1/page",    // no scheme
      " http://h/",        // not at the start
      "ftp://h/",          // another scheme
      "httpx://h/",        //
      "http:/h",           // one slash
      "http://",           // no host
      "http:///p",         //
      "http://:80/",       //
      "http://u@/p",       //
      "http://h:99999/",   // port out of range
      "http://h:123456/",  //
      "http://h:8a/",      // port not decimal
      "http://h:-1/",      //
      "http://[::1/",      // unclosed bracket
      "http://[::1]x/",    // garbage after the bracket
      "http://[]/",        // empty literal
  };
  for (const char* url : rows) {
    SCOPED_TRACE(url);
    EXPECT_FALSE(CrackUrl(url).has_value());
  }
}

TEST(RequestLineTarget, EscapesOnlyWhatCannotStandOnTheRequestLine) {
  const struct {
    Text path;
    const char* target;
  } rows[] = {
      {"/a/b?x=1&y=%41#frag", "/a/b?x=1&y=%41#frag"},
      {"/p ", "/p%20"},
      {"/a b", "/a%20b"},
      {"/\t\x7f", "/%09%7F"},
      {"/~!$'()*+,;=:@[]{}|^`\"<>\\", "/~!$'()*+,;=:@[]{}|^`\"<>\\"},
      // Characters beyond ASCII go as UTF-8, escaped.
      {TextFromUtf8("/中?q=文"), "/%E4%B8%AD?q=%E6%96%87"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.target);
    EXPECT_EQ(RequestLineTarget(row.path), row.target);
  }
}

TEST(OriginOf, NamesThePortOnlyWhenItIsNotTheDefault) {
  const struct {
    const char* url;
    const char* origin;
  } rows[] = {
      {"http://127.0.0.1:8080/x", "http://127.0.0.1:8080"},
      {"http://h:80/x", "http://h"},
      {"https://h:443/x", "https://h"},
      {"https://h:80/x", "https://h:80"},
      {"http://[::1]:81/", "http://[::1]:81"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.url);
    const std::optional<UrlParts> parts = CrackUrl(row.url);
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(OriginOf(*parts), row.origin);
  }
}

}  // namespace
}  // namespace quorvane
