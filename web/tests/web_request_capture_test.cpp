// What WebRequest hands back besides the page: the response headers, the status text, the
// cookies (merged into the request's list on request), the redirect location and the raw
// body, all from the final response.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvane/web/web_request.h"
#include "web_test_servers.h"

namespace quorvane::webtest {
namespace {

using Act = qt::RawServer::Act;
using CaptureTest = ServerTest;

TEST_F(CaptureTest, HandsBackTheHeaderBlockWithSetCookieSpelledOneWay) {
  Text headers;
  Text status;
  WebRequest(Text(Nginx().HttpUrl("/cookies")),
             {.ResponseHeaders = &headers, .StatusText = &status});
  EXPECT_EQ(status.View(), "200 OK");
  const std::string_view view = headers.View();
  EXPECT_EQ(view.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(view.substr(view.size() - 4), "\r\n\r\n");
  EXPECT_NE(view.find("\r\nSet-Cookie: a=1; Path=/\r\n"), std::string_view::npos);
  EXPECT_NE(view.find("\r\nSet-Cookie: b=2\r\n"), std::string_view::npos);
  EXPECT_NE(view.find("\r\nSet-Cookie: gone=deleted;"), std::string_view::npos);
  EXPECT_EQ(view.find("set-cookie"), std::string_view::npos);
  EXPECT_EQ(view.find("SET-COOKIE"), std::string_view::npos);
}

TEST_F(CaptureTest, CollectsAndMergesTheCookiesTheServerSets) {
  const struct {
    const char* label;
    const char* responseEntry;
    const char* request;  // null: omitted
    bool autoMerge;
    const char* responseAfter;
    const char* requestAfter;
  } rows[] = {
      {"items in the order of the lines", "", nullptr, true, "a=1; b=2; gone=deleted", nullptr},
      {"built on the entry value", "x=9", nullptr, true, "x=9; a=1; b=2; gone=deleted", nullptr},
      // New values first, then old items the response did not name; deleted ones go.
      {"merged into the request's list", "", "a=0; c=3; gone=1", true, "a=1; b=2; c=3",
       "a=1; b=2; c=3"},
      {"merged into an empty list", "", "", true, "a=1; b=2", "a=1; b=2"},
      {"not merged when switched off", "", "a=0; c=3", false, "a=1; b=2; gone=deleted", "a=0; c=3"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Text responseCookies = row.responseEntry;
    Text requestCookies = row.request != nullptr ? row.request : "";
    WebRequest(Text(Nginx().HttpUrl("/cookies")),
               {.RequestCookies = row.request != nullptr ? &requestCookies : nullptr,
                .ResponseCookies = &responseCookies,
                .AutoMergeCookies = row.autoMerge});
    EXPECT_EQ(responseCookies.View(), row.responseAfter);
    if (row.requestAfter != nullptr) {
      EXPECT_EQ(requestCookies.View(), row.requestAfter);
    }
    const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(1);
    ASSERT_EQ(received.size(), 1u);
    const std::string sent = row.request != nullptr ? row.request : "";
    EXPECT_EQ(received[0].Header("cookie"), sent);
  }
}

TEST_F(CaptureTest, CarriesCookiesSetDuringARedirectToTheNextRequest) {
  // With a cookie list given, cookies set on the way travel with the later requests.
  Text requestCookies = "a=1";
  Text responseCookies;
  Text status;
  EXPECT_EQ(WebRequest(Text(Nginx().HttpUrl("/cookie-hop")), {.RequestCookies = &requestCookies,
                                                              .ResponseCookies = &responseCookies,
                                                              .StatusText = &status})
                .View(),
            "seen\n");
  EXPECT_EQ(status.View(), "200 OK");
  EXPECT_EQ(responseCookies.View(), "a=1");  // the final response set none
  std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(2);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].Header("cookie"), "a=1");
  EXPECT_EQ(received[1].target, "/cookie-seen");
  EXPECT_EQ(received[1].Header("cookie"), "hop=1; a=1");

  // Without one, no cookie handling at all.
  WebRequest(Text(Nginx().HttpUrl("/cookie-hop")));
  received = Nginx().TakeReceivedRequests(2);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_FALSE(received[1].HasHeader("cookie"));
}

TEST_F(CaptureTest, TakesTheLocationOnlyFromALocationLine) {
  Text location = "entry";
  Text status;
  WebRequest(Text(Nginx().HttpUrl("/page.html")),
             {.RedirectLocation = &location, .StatusText = &status});
  EXPECT_EQ(location.View(), "entry");  // no Location line: the entry value stays

  const Text page =
      WebRequest(Text(Nginx().HttpUrl("/moved")),
                 {.NoRedirect = true, .RedirectLocation = &location, .StatusText = &status});
  EXPECT_EQ(status.View(), "301 Moved Permanently");
  EXPECT_EQ(location.View(), Nginx().HttpUrl("/page.html"));
  EXPECT_NE(FindText(page, "301 Moved Permanently"), -1);  // nginx's own page

  Raw().SetBehaviour(Act::Respond,
                     "HTTP/1.1 200 OK\r\nlocation: /next\r\nContent-Length: 2\r\n\r\nok");
  WebRequest(Text(Raw().Url("/")), {.RedirectLocation = &location});
  EXPECT_EQ(location.View(), "/next");
}

TEST_F(CaptureTest, KeepsOnlyTheFinalResponsesBlock) {
  const struct {
    const char* label;
    std::string reply;
    const char* headers;
    const char* status;
  } rows[] = {
      {"100 Continue before the response",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 2\r\n\r\nok",
       "HTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 2\r\n\r\n", "200 OK"},
      {"lines ended by LF alone", "HTTP/1.1 201 Created\nX-A: 1\nContent-Length: 2\n\nok",
       "HTTP/1.1 201 Created\r\nX-A: 1\r\nContent-Length: 2\r\n\r\n", "201 Created"},
      {"a status line without reason", "HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nok",
       "HTTP/1.1 200\r\nContent-Length: 2\r\n\r\n", "200"},
      {"an HTTP/1.0 reply ended by closing", "HTTP/1.0 200 OK\r\nX-B: 2\r\n\r\nok",
       "HTTP/1.0 200 OK\r\nX-B: 2\r\n\r\n", "200 OK"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Raw().SetBehaviour(Act::Respond, row.reply);
    Text headers;
    Text status;
    EXPECT_EQ(WebRequest(Text(Raw().Url("/")), {.ResponseHeaders = &headers, .StatusText = &status})
                  .View(),
              "ok");
    EXPECT_EQ(headers.View(), row.headers);
    EXPECT_EQ(status.View(), row.status);
  }
}

TEST_F(CaptureTest, HandsBackTheRawBodyAndThePageUpToItsFirstZeroByte) {
  const std::string body("ab\0cd", 5);
  Raw().SetBehaviour(Act::Respond, qt::RawServer::MakeResponse("200 OK", {}, body));
  ByteSet bytes;
  EXPECT_EQ(WebRequest(Text(Raw().Url("/")), {.ResponseBytes = &bytes}).View(), "ab");
  EXPECT_EQ(bytes.View(), body);

  const std::string file = qt::ReadWholeFile(Nginx().DocumentRoot() + "/gbk.html");
  WebRequest(Text(Nginx().HttpUrl("/gbk.html")), {.ResponseBytes = &bytes});
  EXPECT_EQ(bytes.View(), file);
}

}  // namespace
}  // namespace quorvane::webtest
