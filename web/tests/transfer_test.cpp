// Transfer: the plain GET exchange of the picture fetch.
#include "quorvane/web/transfer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "web_test_servers.h"

namespace quorvane::webtest {
namespace {

using Act = qt::RawServer::Act;
using TransferTest = ServerTest;

constexpr const char* kPlainPage = "<html><body>plain page</body></html>";

TEST_F(TransferTest, SendsTheAgentAndTheLinesAsGivenOverHttp10) {
  const TransferResult result =
      Transfer({.url = Raw().Url("/pic/a1b2"),
                .userAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)",
                .headerLines = {"Accept: */*", "X-B: 2"},
                .http10 = true});
  EXPECT_TRUE(result.complete);
  EXPECT_EQ(result.statusCode, 200);
  EXPECT_EQ(result.body.View(), "ok");
  const std::vector<std::string> requests = Raw().ReceivedRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0],
            "GET /pic/a1b2 HTTP/1.0\r\n"
            "Host: 127.0.0.1:" +
                std::to_string(Raw().Port()) +
                "\r\n"
                "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                "Accept: */*\r\n"
                "X-B: 2\r\n\r\n");
}

TEST_F(TransferTest, SendsNothingOfItsOwnWithoutAgentOrLines) {
  Transfer({.url = Raw().Url("/x")});
  const std::vector<std::string> requests = Raw().ReceivedRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0],
            "GET /x HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(Raw().Port()) + "\r\n\r\n");
}

TEST_F(TransferTest, GathersTheFinalResponsesBodyWithItsStatus) {
  const struct {
    const char* label;
    std::string url;
    bool followRedirects;
    int status;
    const char* bodyPart;
  } rows[] = {
      {"a page", Nginx().HttpUrl("/page.html"), true, 200, kPlainPage},
      {"over https", Nginx().HttpsUrl("/page.html"), true, 200, kPlainPage},
      {"an error page is a body too", Nginx().HttpUrl("/missing.jpg"), true, 404, "404 Not Found"},
      {"redirects followed", Nginx().HttpUrl("/chain1"), true, 200, kPlainPage},
      {"redirects not followed", Nginx().HttpUrl("/moved"), false, 301, "301 Moved Permanently"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const TransferResult result =
        Transfer({.url = row.url, .followRedirects = row.followRedirects});
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.statusCode, row.status);
    EXPECT_NE(result.body.View().find(row.bodyPart), std::string_view::npos);
  }
}

TEST_F(TransferTest, SendsBasicCredentialsAsAPair) {
  TransferResult result = Transfer(
      {.url = Nginx().HttpUrl("/secret/page.html"), .userName = kUser, .password = kPassword});
  EXPECT_EQ(result.statusCode, 200);
  EXPECT_EQ(result.body.View(), "secret page");
  result = Transfer({.url = Nginx().HttpUrl("/secret/page.html"), .userName = kUser});
  EXPECT_EQ(result.statusCode, 401);
}

TEST_F(TransferTest, IsIncompleteWhenTheExchangeBreaks) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  Raw().SetStallLimit(std::chrono::seconds(30));
  const struct {
    const char* label;
    Act act;
    std::string bytes;
    int status;
    const char* body;
  } rows[] = {
      // The bytes so far are kept.
      {"broken mid-body", Act::BreakMidBody, head + "\xFF\xD8part", 200, "\xFF\xD8part"},
      {"silent mid-body", Act::StallMidBody, head + "\xFF\xD8part", 200, "\xFF\xD8part"},
      {"silent from the start", Act::StallThenClose, "", 0, ""},
      {"closed at once", Act::CloseBeforeResponse, "", 0, ""},
      {"not HTTP", Act::SendNonHttp, "", 0, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Raw().SetBehaviour(row.act, row.bytes);
    const TransferResult result = Transfer({.url = Raw().Url("/pic"), .timeoutMilliseconds = 1000});
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.statusCode, row.status);
    EXPECT_EQ(result.body.View(), row.body);
  }
  // Redirects that cannot be followed, and addresses that are none.
  for (const std::string& url : {Nginx().HttpUrl("/loop"), Nginx().HttpUrl("/to-ftp"),
                                 std::string("not an address"), std::string()}) {
    SCOPED_TRACE(url);
    const TransferResult result = Transfer({.url = url});
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.statusCode, 0);
  }
}

}  // namespace
}  // namespace quorvane::webtest
