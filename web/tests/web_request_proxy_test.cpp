// WebRequest through an HTTP proxy: tinyproxy for http and for https (CONNECT), with and
// without Basic credentials, and our raw server standing in as a proxy to see the request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvane/web/web_request.h"
#include "web_test_servers.h"

namespace quorvane::webtest {
namespace {

using ProxyTest = ServerTest;

constexpr const char* kPlainPage = "<html><body>plain page</body></html>";

bool LogMentions(qt::TinyProxy& proxy, const std::string& words) {
  for (const std::string& line : proxy.LogLines()) {
    if (line.find(words) != std::string::npos) return true;
  }
  return false;
}

TEST_F(ProxyTest, FetchesHttpAndHttpsThroughTheProxy) {
  const struct {
    const char* label;
    std::string url;
    const char* scheme;
  } rows[] = {
      {"http", Nginx().HttpUrl("/page.html"), "http"},
      {"https through a tunnel", Nginx().HttpsUrl("/page.html"), "https"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    OpenProxy().ClearLog();
    Text status;
    EXPECT_EQ(WebRequest(Text(row.url),
                         {.ProxyAddress = Text(OpenProxy().Address()), .StatusText = &status})
                  .View(),
              kPlainPage);
    EXPECT_EQ(status.View(), "200 OK");
    const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].scheme, row.scheme);
    if (std::string(row.scheme) == "http") {
      EXPECT_NE(received[0].Header("via").find("tinyproxy"), std::string::npos);
    } else {
      EXPECT_TRUE(LogMentions(OpenProxy(), "CONNECT"));
    }
  }
}

TEST_F(ProxyTest, SendsProxyCredentialsOnlyAsAPair) {
  const struct {
    const char* label;
    bool secure;
    const char* user;
    const char* password;
    const char* statusStart;
  } rows[] = {
      {"http with both", false, kProxyUser, kProxyPassword, "200 OK"},
      {"https with both", true, kProxyUser, kProxyPassword, "200 OK"},
      {"http without", false, "", "", "407 "},
      // The proxy refuses the tunnel; its reply is the answer.
      {"https without", true, "", "", "407 "},
      {"http with the user alone", false, kProxyUser, "", "407 "},
      // tinyproxy answers wrong credentials with 401.
      {"http with a wrong password", false, kProxyUser, "nope", "401 "},
      {"https with a wrong password", true, kProxyUser, "nope", "401 "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Text status;
    Text headers;
    const std::string url =
        row.secure ? Nginx().HttpsUrl("/page.html") : Nginx().HttpUrl("/page.html");
    const Text page = WebRequest(Text(url), {.ResponseHeaders = &headers,
                                             .ProxyAddress = Text(GuardedProxy().Address()),
                                             .ProxyUserName = row.user,
                                             .ProxyPassword = row.password,
                                             .StatusText = &status});
    EXPECT_EQ(std::string(status.View()).substr(0, std::string(row.statusStart).size()),
              row.statusStart);
    const size_t expected = std::string(row.statusStart) == "200 OK" ? 1 : 0;
    EXPECT_EQ(Nginx().TakeReceivedRequests(expected, std::chrono::milliseconds(200)).size(),
              expected);
    if (expected == 1) {
      EXPECT_EQ(page.View(), kPlainPage);
    } else {
      EXPECT_EQ(headers.View().substr(9, 4), row.statusStart);  // the proxy's own reply
    }
  }
}

TEST_F(ProxyTest, GoesDirectWhenTheListHasNoEntryForTheScheme) {
  // For an https address the list is the address itself: an http= entry serves http only.
  Text status;
  const std::string list = "http=" + OpenProxy().Address();
  EXPECT_EQ(WebRequest(Text(Nginx().HttpsUrl("/page.html")),
                       {.ProxyAddress = Text(list), .StatusText = &status})
                .View(),
            kPlainPage);
  EXPECT_FALSE(LogMentions(OpenProxy(), "CONNECT"));
}

TEST_F(ProxyTest, SendsTheAbsoluteAddressOnTheRequestLine) {
  // The raw server plays the proxy and records what a proxy receives. Nothing is resolved
  // or contacted on the client's side but the proxy.
  const std::string proxy = "127.0.0.1:" + std::to_string(Raw().Port());
  WebRequest(
      "http://127.0.0.1:1/a/../b%41?q=1 2",
      {.ProxyAddress = Text(proxy), .ProxyUserName = kProxyUser, .ProxyPassword = kProxyPassword});
  const std::vector<std::string> requests = Raw().ReceivedRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(
      requests[0],
      "GET http://127.0.0.1:1/a/../b%41?q=1%202 HTTP/1.1\r\n"
      "Host: 127.0.0.1:1\r\n"
      "Proxy-Authorization: " +
          BasicAuthorization(kProxyUser, kProxyPassword) +
          "\r\n"
          "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
          "Accept: text/html, application/xhtml+xml, */*\r\n"
          "Accept-Encoding: gbk, GB2312\r\n"
          "Accept-Language: zh-cn\r\n"
          "Cache-Control: no-cache\r\n\r\n");
}

}  // namespace
}  // namespace quorvane::webtest
