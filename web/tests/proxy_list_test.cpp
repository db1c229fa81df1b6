#include "proxy_list.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(ProxyListFor, NamesTheHttpEntryOnlyForHttpAddresses) {
  EXPECT_EQ(ProxyListFor("p:8080", false).View(), "http=p:8080");
  EXPECT_EQ(ProxyListFor("p:8080", true).View(), "p:8080");
}

TEST(ChooseProxy, TakesTheEntryForTheSchemeOrElseOneWithoutScheme) {
  const struct {
    const char* list;
    const char* scheme;
    const char* host;  // null: no proxy
    int32_t port;
  } rows[] = {
      // The lists the request makes from "p:8080".
      {"http=p:8080", "http", "p", 8080},
      {"p:8080", "https", "p", 8080},
      // An entry for another scheme does not serve.
      {"http=p:8080", "https", nullptr, 0},
      {"https=s:1", "http", nullptr, 0},
      // The scheme's own entry wins over an earlier one without scheme.
      {"any:1;http=own:2", "http", "own", 2},
      {"any:1 https=own:2", "https", "own", 2},
      {"HTTP=own:2", "http", "own", 2},
      // Otherwise the first entry without scheme.
      {"ftp=f:1; first:2; second:3", "http", "first", 2},
      // Separators: ";" and spaces, repeated or trailing.
      {";; p:1 ;", "http", "p", 1},
      // Without a port, 80; a proxy scheme of http:// is allowed.
      {"p", "http", "p", 80},
      {"http=http://p:3128", "http", "p", 3128},
      {"[::1]:3128", "https", "[::1]", 3128},
      {"[::1]", "https", "[::1]", 80},
      // An empty list: no proxy.
      {"", "http", nullptr, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.list) + " for " + row.scheme);
    const ProxyChoice choice = ChooseProxy(row.list, row.scheme);
    ASSERT_TRUE(choice.valid);
    if (row.host == nullptr) {
      EXPECT_FALSE(choice.server.has_value());
      continue;
    }
    ASSERT_TRUE(choice.server.has_value());
    EXPECT_EQ(choice.server->host, row.host);
    EXPECT_EQ(choice.server->port, row.port);
  }
}

TEST(ChooseProxy, RefusesAListWithAnUnreadableEntry) {
  const char* const rows[] = {
      "http=",       ":8080",       "p:",   "p:0",    "p:65536",      "p:80a", "=p:1",
      "socks://p:1", "https://p:1", "[::1", "[::1]x", "good:1;bad:x", "p/x:1",
  };
  for (const char* list : rows) {
    SCOPED_TRACE(list);
    EXPECT_FALSE(ChooseProxy(list, "http").valid);
  }
}

}  // namespace
}  // namespace quorvane
