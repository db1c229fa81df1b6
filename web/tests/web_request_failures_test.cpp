// The numbered failures of WebRequest that this machine can produce, and what a failure
// leaves alone. 700 (libcurl without HTTP) and 704 to 709 (libcurl refusing an option of the
// request, the timeouts, credentials, cookies or redirects) only happen when libcurl cannot
// get memory.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "quorvane/web/web_request.h"
#include "web_test_servers.h"

namespace quorvane::webtest {
namespace {

using Act = qt::RawServer::Act;

// The caller's variables with entry values, so a test can see that a failure writes only the
// status text.
class FailureTest : public ServerTest {
 protected:
  Text Fetch(const Text& url, WebRequestOptions options = {}) {
    options.ResponseCookies = &responseCookies;
    options.ResponseHeaders = &responseHeaders;
    options.RedirectLocation = &redirectLocation;
    options.StatusText = &statusText;
    options.ResponseBytes = &responseBytes;
    return WebRequest(url, options);
  }
  void ExpectOnlyStatusWritten(const char* utf8Message) {
    EXPECT_EQ(statusText, Gbk(utf8Message));
    EXPECT_EQ(responseCookies.View(), "entry cookies");
    EXPECT_EQ(responseHeaders.View(), "entry headers");
    EXPECT_EQ(redirectLocation.View(), "entry location");
    EXPECT_EQ(responseBytes.View(), "entry bytes");
  }

  Text responseCookies = "entry cookies";
  Text responseHeaders = "entry headers";
  Text redirectLocation = "entry location";
  Text statusText = "entry status";
  ByteSet responseBytes{"entry bytes"};
};

TEST_F(FailureTest, RefusesAnAddressItCannotCrack) {
  const std::string noScheme = "127.0.0.1:" + std::to_string(Raw().Port()) + "/page.html";
  const std::string otherScheme = "ftp://127.0.0.1:" + std::to_string(Raw().Port()) + "/";
  const char* const rows[] = {"", noScheme.c_str(), otherScheme.c_str(), "http://", "http://h:x/"};
  for (const char* url : rows) {
    SCOPED_TRACE(url);
    EXPECT_EQ(Fetch(url).View(), "");
    ExpectOnlyStatusWritten("701 解析URL地址失败!");
  }
  EXPECT_TRUE(Raw().ReceivedRequests().empty());
}

TEST_F(FailureTest, CannotMakeTheSessionWithAProxyListItCannotRead) {
  EXPECT_EQ(Fetch(Text(Raw().Url("/")), {.ProxyAddress = "127.0.0.1:port"}).View(), "");
  ExpectOnlyStatusWritten("702 创建WinHttp会话失败!");
  EXPECT_TRUE(Raw().ReceivedRequests().empty());
}

TEST_F(FailureTest, CannotMakeTheConnectionToAHostNameTheLibraryRefuses) {
  EXPECT_EQ(Fetch("http://a b/page.html").View(), "");
  ExpectOnlyStatusWritten("703 创建WinHttp连接失败!");
}

TEST_F(FailureTest, CannotSetHeaderLinesThatAreNoHeaders) {
  const char* const rows[] = {"no colon here", "X-A: 1\r\n: no name", "Bad Name: 1"};
  for (const char* extra : rows) {
    SCOPED_TRACE(extra);
    EXPECT_EQ(Fetch(Text(Raw().Url("/")), {.ExtraHeaders = extra}).View(), "");
    ExpectOnlyStatusWritten("710 设置协议头失败!");
  }
  EXPECT_TRUE(Raw().ReceivedRequests().empty());
}

TEST_F(FailureTest, CannotSendWhenNoConnectionOrHandshakeSucceeds) {
  const int closedPort = qt::FreeLoopbackPort();
  ASSERT_NE(closedPort, 0);
  const struct {
    const char* label;
    std::string url;
  } rows[] = {
      {"nothing listens", "http://127.0.0.1:" + std::to_string(closedPort) + "/"},
      // nginx's plain port answers the TLS greeting with a plain 400 page.
      {"no TLS on the port", "https://127.0.0.1:" + std::to_string(Nginx().HttpPort()) + "/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(Fetch(Text(row.url)).View(), "");
    ExpectOnlyStatusWritten("711 发送请求失败!");
  }
}

TEST_F(FailureTest, CannotSendOverHttpsToAServerItDoesNotTrust) {
  TrustExtraCertificateAuthorityForTesting("");
  const Text page = Fetch(Text(Nginx().HttpsUrl("/page.html")));
  TrustExtraCertificateAuthorityForTesting(Nginx().CaCertificateFile());
  EXPECT_EQ(page.View(), "");
  ExpectOnlyStatusWritten("711 发送请求失败!");
  // And with the authority trusted again, the same page comes.
  EXPECT_EQ(Fetch(Text(Nginx().HttpsUrl("/page.html"))).View(),
            "<html><body>plain page</body></html>");
}

TEST_F(FailureTest, ReportsNoResponseWhenNothingUsableComesBack) {
  const struct {
    const char* label;
    Act act;
    std::string bytes;
  } rows[] = {
      {"closed before any response", Act::CloseBeforeResponse, ""},
      {"a reply that is not HTTP", Act::SendNonHttp, ""},
      {"a header block that breaks off", Act::SendNonHttp, "HTTP/1.1 200 OK\r\nContent-Len"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Raw().SetBehaviour(row.act, row.bytes);
    EXPECT_EQ(Fetch(Text(Raw().Url("/"))).View(), "");
    ExpectOnlyStatusWritten("712 服务器未响应!");
  }
}

TEST_F(FailureTest, StopsWaitingForASilentServerAfterTheTimeout) {
  // The stall outlasts the 2 s limit by far; the request gives up on its own.
  Raw().SetStallLimit(std::chrono::seconds(30));
  Raw().SetBehaviour(Act::StallThenClose);
  EXPECT_EQ(Fetch(Text(Raw().Url("/")), {.TimeoutSeconds = 2}).View(), "");
  ExpectOnlyStatusWritten("712 服务器未响应!");
  EXPECT_EQ(Raw().ReceivedRequests().size(), 1u);  // the request itself went out
}

TEST_F(FailureTest, TimeoutZeroOrBelowWaitsThirtySeconds) {
  // nginx passes /slow on to the raw server, which stays silent for 3 s and then closes:
  // nginx then answers 502. A 1 s limit runs out first; 30 s do not.
  Raw().SetStallLimit(std::chrono::seconds(3));
  Raw().SetBehaviour(Act::StallThenClose);
  const struct {
    int32_t seconds;
    const char* status;
  } rows[] = {{0, "502 Bad Gateway"}, {-5, "502 Bad Gateway"}, {1, "712 服务器未响应!"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.seconds);
    statusText = Text();
    Fetch(Text(Nginx().HttpUrl("/slow")), {.TimeoutSeconds = row.seconds});
    EXPECT_EQ(statusText, Gbk(row.status));
  }
}

TEST_F(FailureTest, GivesTooManyRedirectsAndOtherSchemesNoResponse) {
  const char* const rows[] = {"/loop", "/to-ftp"};
  for (const char* path : rows) {
    SCOPED_TRACE(path);
    EXPECT_EQ(Fetch(Text(Nginx().HttpUrl(path))).View(), "");
    ExpectOnlyStatusWritten("712 服务器未响应!");
  }
  // The first request and ten redirects for the loop, one request for the other scheme.
  EXPECT_EQ(Nginx().TakeReceivedRequests(12).size(), 12u);
}

TEST_F(FailureTest, GoesOnWithTheHeadersWhenTheBodyBreaksOff) {
  const std::string head = "HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\nContent-Length: 100\r\n\r\n";
  const struct {
    const char* label;
    Act act;
  } rows[] = {
      {"the server closes", Act::BreakMidBody},
      {"the server falls silent", Act::StallMidBody},
  };
  Raw().SetStallLimit(std::chrono::seconds(30));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    responseCookies = Text();
    Raw().SetBehaviour(row.act, head + "<p>partial");
    // The read failure's message is replaced by the status text of the headers that came.
    EXPECT_EQ(Fetch(Text(Raw().Url("/")), {.TimeoutSeconds = 2}).View(), "<p>partial");
    EXPECT_EQ(statusText.View(), "200 OK");
    EXPECT_EQ(responseBytes.View(), "<p>partial");
    EXPECT_EQ(responseHeaders.View(), head);
    EXPECT_EQ(responseCookies.View(), "s=1");
  }
}

}  // namespace
}  // namespace quorvane::webtest
