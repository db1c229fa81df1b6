// Redirects, followed as WinHTTP does by default: at most 10, http and https only, never from
// https down to http, POST becoming GET on 301, 302 and 303.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvane/web/web_request.h"
#include "web_test_servers.h"

namespace quorvane::webtest {
namespace {

using Act = qt::RawServer::Act;
using RedirectTest = ServerTest;

constexpr const char* kPlainPage = "<html><body>plain page</body></html>";

TEST_F(RedirectTest, FollowsToTheFinalResponse) {
  const struct {
    const char* path;
    std::vector<std::string> targets;  // as nginx received them, in order
  } rows[] = {
      {"/moved", {"/moved", "/page.html"}},
      // Relative locations ("/chain2", "chain3") resolve against the current address.
      {"/chain1", {"/chain1", "/chain2", "/chain3", "/page.html"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    Text headers;
    Text status;
    Text location = "entry";
    EXPECT_EQ(WebRequest(Text(Nginx().HttpUrl(row.path)), {.ResponseHeaders = &headers,
                                                           .RedirectLocation = &location,
                                                           .StatusText = &status})
                  .View(),
              kPlainPage);
    EXPECT_EQ(status.View(), "200 OK");
    EXPECT_EQ(headers.View().substr(0, 17), "HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(location.View(), "entry");  // the final response has no Location line
    std::vector<std::string> targets;
    for (const qt::ReceivedRequest& request : Nginx().TakeReceivedRequests(row.targets.size())) {
      targets.push_back(request.target);
    }
    EXPECT_EQ(targets, row.targets);
  }
}

TEST_F(RedirectTest, ChangesTheMethodAsBrowsersDo) {
  const struct {
    const char* path;
    int32_t method;
    const char* firstMethod;
    const char* nextMethod;
    const char* nextBody;
  } rows[] = {
      {"/found", 1, "POST", "GET", ""},          // 302: POST becomes GET, the body stays behind
      {"/moved", 1, "POST", "GET", nullptr},     // 301 likewise (to a page, body not logged)
      {"/see-other", 3, "PUT", "GET", ""},       // 303: any method becomes GET
      {"/temporary", 1, "POST", "POST", "a=1"},  // 307 keeps method and body
      {"/found", 3, "PUT", "PUT", "a=1"},        // 302 changes POST only
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.path) + " " + row.firstMethod);
    Text status;
    WebRequest(Text(Nginx().HttpUrl(row.path)),
               {.Method = row.method, .PostData = "a=1", .StatusText = &status});
    EXPECT_EQ(status.View(), "200 OK");
    const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(2);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].method, row.firstMethod);
    EXPECT_EQ(received[1].method, row.nextMethod);
    if (row.nextBody != nullptr) {
      EXPECT_EQ(received[1].body, row.nextBody);
      EXPECT_EQ(received[1].HasHeader("content-length"), *row.nextBody != '\0');
    }
  }
}

TEST_F(RedirectTest, KeepsHeadAHeadRequest) {
  Text status;
  EXPECT_EQ(
      WebRequest(Text(Nginx().HttpUrl("/moved")), {.Method = 2, .StatusText = &status}).View(), "");
  EXPECT_EQ(status.View(), "200 OK");
  const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(2);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].method, "HEAD");
  EXPECT_EQ(received[1].target, "/page.html");
}

TEST_F(RedirectTest, GoesUpToHttpsButNotDownToHttp) {
  Text status;
  Text location;
  EXPECT_EQ(WebRequest(Text(Nginx().HttpUrl("/up")), {.StatusText = &status}).View(), kPlainPage);
  EXPECT_EQ(status.View(), "200 OK");
  std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(2);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].scheme, "https");

  // From https down to http the redirect response itself is the final one.
  const Text page = WebRequest(Text(Nginx().HttpsUrl("/down")),
                               {.RedirectLocation = &location, .StatusText = &status});
  EXPECT_EQ(status.View(), "302 Moved Temporarily");
  EXPECT_EQ(location.View(), Nginx().HttpUrl("/page.html"));
  EXPECT_NE(FindText(page, "302 Found"), -1);
  received = Nginx().TakeReceivedRequests(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].scheme, "https");
}

TEST_F(RedirectTest, StaysWithTheRedirectWhenSwitchedOff) {
  Text status;
  WebRequest(Text(Nginx().HttpUrl("/chain1")), {.NoRedirect = true, .StatusText = &status});
  EXPECT_EQ(status.View(), "302 Moved Temporarily");
  EXPECT_EQ(Nginx().TakeReceivedRequests(1).size(), 1u);
}

TEST_F(RedirectTest, ResolvesALocationRelativeToTheCurrentPath) {
  Raw().SetBehaviours(
      {{Act::Respond, qt::RawServer::MakeResponse("302 Found", {"Location: next?b=2"}, "")},
       {Act::Respond, qt::RawServer::MakeResponse("200 OK", {}, "done")}});
  EXPECT_EQ(WebRequest(Text(Raw().Url("/dir/first?a=1"))).View(), "done");
  const std::vector<std::string> requests = Raw().ReceivedRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")), "GET /dir/next?b=2 HTTP/1.1");
}

TEST_F(RedirectTest, SendsServerCredentialsToTheFirstHostAndPortOnly) {
  // The raw server sends the request on to nginx's protected page: another port, so the
  // credentials stay behind and nginx asks for them.
  Raw().SetBehaviour(Act::Respond,
                     qt::RawServer::MakeResponse(
                         "302 Found", {"Location: " + Nginx().HttpUrl("/secret/page.html")}, ""));
  Text status;
  WebRequest(Text(Raw().Url("/")),
             {.UserName = kUser, .Password = kPassword, .StatusText = &status});
  EXPECT_EQ(status.View(), "401 Unauthorized");
  ASSERT_EQ(Raw().ReceivedRequests().size(), 1u);
  EXPECT_NE(Raw().ReceivedRequests()[0].find(
                "\r\nAuthorization: " + BasicAuthorization(kUser, kPassword) + "\r\n"),
            std::string::npos);
  const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_FALSE(received[0].HasHeader("authorization"));
}

TEST_F(RedirectTest, KeepsTheCallersHeaderLinesOnEveryRequest) {
  WebRequest(Text(Nginx().HttpUrl("/moved")), {.ExtraHeaders = "X-A: kept"});
  const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(2);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].Header("x-a"), "kept");
  EXPECT_EQ(received[1].Header("user-agent"), received[0].Header("user-agent"));
}

}  // namespace
}  // namespace quorvane::webtest
