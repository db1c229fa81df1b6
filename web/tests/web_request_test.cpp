// WebRequest against real servers: pages and their character sets, the method table, the
// request as it arrives on the wire, and https.
#include "quorvane/web/web_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvane/text/code_page.h"
#include "web_test_servers.h"

namespace quorvane::webtest {
namespace {

using PageTest = ServerTest;

TEST_F(PageTest, ReturnsThePageInCodePage936FromTheCharsetItDeclares) {
  const std::string late = qt::ReadWholeFile(Nginx().DocumentRoot() + "/late.html");
  const struct {
    const char* path;
    Text page;
  } rows[] = {
      {"/page.html", "<html><body>plain page</body></html>"},
      // Decoded from UTF-8.
      {"/utf8.html", ConcatText(Text("<html><head><meta charset=\"utf-8\"><title>u</title>"
                                     "</head><body>"),
                                PageWords(), Text("</body></html>"))},
      // Declared gbk and gb2312: the bytes as they are (they are code page 936 already).
      {"/gbk.html", Text(qt::ReadWholeFile(Nginx().DocumentRoot() + "/gbk.html"))},
      {"/gb2312.html", Text(qt::ReadWholeFile(Nginx().DocumentRoot() + "/gb2312.html"))},
      // "GBK" in capitals goes through the converter, which reads the same characters.
      {"/gbk-capitals.html", ConcatText(Text("<html><head><meta charset=\"GBK\"></head><body>"),
                                        PageWords(), Text("</body></html>"))},
      // A declaration past byte 1024 is not seen: the UTF-8 bytes come back undecoded.
      {"/late.html", Text(late)},
      {"/empty.html", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    Text status;
    EXPECT_EQ(WebRequest(Text(Nginx().HttpUrl(row.path)), {.StatusText = &status}), row.page);
    EXPECT_EQ(status.View(), "200 OK");
  }
}

TEST_F(PageTest, NeedsNoOptionsAtAll) {
  EXPECT_EQ(WebRequest(Text(Nginx().HttpUrl("/page.html"))).View(),
            "<html><body>plain page</body></html>");
}

TEST_F(PageTest, GivesTheErrorPageWithItsStatus) {
  Text status;
  ByteSet bytes;
  const Text page = WebRequest(Text(Nginx().HttpUrl("/missing.html")),
                               {.StatusText = &status, .ResponseBytes = &bytes});
  EXPECT_EQ(status.View(), "404 Not Found");
  EXPECT_NE(FindText(page, "404 Not Found"), -1);
  EXPECT_EQ(page.View(), bytes.View());
}

TEST_F(PageTest, HeadReturnsTheEmptyTextWithTheStatus) {
  Text status;
  Text headers;
  EXPECT_EQ(WebRequest(Text(Nginx().HttpUrl("/page.html")),
                       {.Method = 2, .ResponseHeaders = &headers, .StatusText = &status})
                .View(),
            "");
  EXPECT_EQ(status.View(), "200 OK");
  EXPECT_NE(FindText(headers, "Content-Length: 36\r\n"), -1);
  const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].method, "HEAD");
}

TEST_F(PageTest, FetchesOverHttpsWithTheTestAuthority) {
  Text status;
  EXPECT_EQ(WebRequest(Text(Nginx().HttpsUrl("/utf8.html")), {.StatusText = &status}),
            ConcatText(Text("<html><head><meta charset=\"utf-8\"><title>u</title></head><body>"),
                       PageWords(), Text("</body></html>")));
  EXPECT_EQ(status.View(), "200 OK");
  const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].scheme, "https");
  EXPECT_EQ(received[0].protocol, "HTTP/1.1");
}

TEST_F(PageTest, SendsTheDefaultHeaderLinesToNginx) {
  WebRequest(Text(Nginx().HttpUrl("/page.html?x=1")));
  const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(1);
  ASSERT_EQ(received.size(), 1u);
  const qt::ReceivedRequest& request = received[0];
  EXPECT_EQ(request.requestLine, "GET /page.html?x=1 HTTP/1.1");
  EXPECT_EQ(request.Header("user-agent"),
            "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)");
  EXPECT_EQ(request.Header("accept"), "text/html, application/xhtml+xml, */*");
  EXPECT_EQ(request.Header("accept-encoding"), "gbk, GB2312");
  EXPECT_EQ(request.Header("accept-language"), "zh-cn");
  EXPECT_EQ(request.Header("cache-control"), "no-cache");
  EXPECT_FALSE(request.HasHeader("cookie"));
  EXPECT_FALSE(request.HasHeader("content-type"));
  EXPECT_FALSE(request.HasHeader("expect"));
}

TEST_F(PageTest, PostsTheBodyBytesAsTheyAre) {
  const Text body = ConcatText(Text("name="), Gbk("中文"), Text("&x=1"));
  Text status;
  EXPECT_EQ(WebRequest(Text(Nginx().HttpUrl("/post")),
                       {.Method = 1, .PostData = body, .StatusText = &status})
                .View(),
            "ok\n");
  EXPECT_EQ(status.View(), "200 OK");
  const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].method, "POST");
  EXPECT_EQ(received[0].body, body.View());
  EXPECT_EQ(received[0].Header("content-type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(received[0].Header("content-length"), std::to_string(body.Length()));
}

TEST_F(PageTest, SendsServerCredentialsOnlyAsAPair) {
  const std::string url = Nginx().HttpUrl("/secret/page.html");
  const struct {
    const char* label;
    const char* user;
    const char* password;
    const char* status;
    const char* page;
  } rows[] = {
      {"both given", kUser, kPassword, "200 OK", "secret page"},
      {"wrong password", kUser, "nope", "401 Unauthorized", nullptr},
      {"password missing", kUser, "", "401 Unauthorized", nullptr},
      {"user missing", "", kPassword, "401 Unauthorized", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Text status;
    const Text page = WebRequest(
        Text(url), {.UserName = row.user, .Password = row.password, .StatusText = &status});
    EXPECT_EQ(status.View(), row.status);
    if (row.page != nullptr) {
      EXPECT_EQ(page.View(), row.page);
    }
    const std::vector<qt::ReceivedRequest> received = Nginx().TakeReceivedRequests(1);
    ASSERT_EQ(received.size(), 1u);
    if (*row.user != '\0' && *row.password != '\0') {
      EXPECT_EQ(received[0].Header("authorization"), BasicAuthorization(row.user, row.password));
    } else {
      EXPECT_FALSE(received[0].HasHeader("authorization"));
    }
  }
}

// ---- the request on the wire, byte for byte, as our raw server records it ----

std::string DefaultLines() {
  return "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
         "Accept: text/html, application/xhtml+xml, */*\r\n"
         "Accept-Encoding: gbk, GB2312\r\n"
         "Accept-Language: zh-cn\r\n";
}

std::string Host() { return "Host: 127.0.0.1:" + std::to_string(Raw().Port()) + "\r\n"; }

std::string OnlyRequest() {
  const std::vector<std::string> requests = Raw().ReceivedRequests();
  return requests.size() == 1 ? requests[0] : "(" + std::to_string(requests.size()) + " requests)";
}

using WireTest = ServerTest;

TEST_F(WireTest, SendsEveryMethodOfTheTableWithTheBody) {
  const struct {
    int32_t method;
    const char* name;
  } rows[] = {{0, "GET"},    {1, "POST"},  {2, "HEAD"},    {3, "PUT"}, {4, "OPTIONS"},
              {5, "DELETE"}, {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"}, {-1, "GET"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.method);
    Raw().ClearReceivedRequests();
    Text status;
    WebRequest(Text(Raw().Url("/m?q=1")),
               {.Method = row.method, .PostData = "x=1", .StatusText = &status});
    EXPECT_EQ(status.View(), "200 OK");
    const std::string contentType =
        row.method == 1 ? "Content-Type: application/x-www-form-urlencoded\r\n" : "";
    EXPECT_EQ(OnlyRequest(), std::string(row.name) + " /m?q=1 HTTP/1.1\r\n" + Host() +
                                 DefaultLines() + contentType +
                                 "Cache-Control: no-cache\r\nContent-Length: 3\r\n\r\nx=1");
  }
}

TEST_F(WireTest, SendsNoBodyLinesWithoutABodyExceptForPostAndPut) {
  const struct {
    int32_t method;
    const char* name;
    const char* tail;
  } rows[] = {
      {0, "GET", "Cache-Control: no-cache\r\n\r\n"},
      {2, "HEAD", "Cache-Control: no-cache\r\n\r\n"},
      {5, "DELETE", "Cache-Control: no-cache\r\n\r\n"},
      {1, "POST",
       "Content-Type: application/x-www-form-urlencoded\r\nCache-Control: no-cache\r\n"
       "Content-Length: 0\r\n\r\n"},
      {3, "PUT", "Cache-Control: no-cache\r\nContent-Length: 0\r\n\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.method);
    Raw().ClearReceivedRequests();
    WebRequest(Text(Raw().Url("/")), {.Method = row.method});
    EXPECT_EQ(OnlyRequest(),
              std::string(row.name) + " / HTTP/1.1\r\n" + Host() + DefaultLines() + row.tail);
  }
}

TEST_F(WireTest, AppliesTheHeaderProbesAndTheCallersOrder) {
  const Text cookies = "a=1; b=2";
  const Text noCookies;
  const struct {
    const char* label;
    int32_t method;
    const char* extra;
    const Text* cookies;
    std::string lines;  // between the Host line and the body lines
  } rows[] = {
      {"the caller's lines first, in their order", 0, "X-B: 2\r\nX-A: 1", nullptr,
       "X-B: 2\r\nX-A: 1\r\n" + DefaultLines() + "Cache-Control: no-cache\r\n"},
      {"X-Accept keeps the Accept line out", 0, "X-Accept: 1", nullptr,
       "X-Accept: 1\r\n"
       "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
       "Accept-Encoding: gbk, GB2312\r\nAccept-Language: zh-cn\r\nCache-Control: no-cache\r\n"},
      {"an own agent in other letter case", 0, "user-agent: mine", nullptr,
       "user-agent: mine\r\nAccept: text/html, application/xhtml+xml, */*\r\n"
       "Accept-Encoding: gbk, GB2312\r\nAccept-Language: zh-cn\r\nCache-Control: no-cache\r\n"},
      {"content-type: a/b with POST is replaced by the default", 1, "content-type: a/b", nullptr,
       "Content-Type: application/x-www-form-urlencoded\r\n" + DefaultLines() +
           "Cache-Control: no-cache\r\n"},
      {"Content-Type: a/b with POST stays", 1, "Content-Type: a/b", nullptr,
       "Content-Type: a/b\r\n" + DefaultLines() + "Cache-Control: no-cache\r\n"},
      {"a later line replaces, an empty one removes", 0, "X-A: 1\r\nX-B: 2\r\nx-a: 3\r\nX-B:",
       nullptr, "x-a: 3\r\n" + DefaultLines() + "Cache-Control: no-cache\r\n"},
      {"an empty Accept line removes the default", 0, "X-A: 1\r\nAccept: ", nullptr,
       "X-A: 1\r\n"
       "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
       "Accept-Encoding: gbk, GB2312\r\nAccept-Language: zh-cn\r\nCache-Control: no-cache\r\n"},
      {"the cookie list goes last", 0, "", &cookies,
       DefaultLines() + "Cache-Control: no-cache\r\nCookie: a=1; b=2\r\n"},
      {"an empty cookie list sends no Cookie line", 0, "", &noCookies,
       DefaultLines() + "Cache-Control: no-cache\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Raw().ClearReceivedRequests();
    Text cookieVariable = row.cookies != nullptr ? *row.cookies : Text();
    WebRequest(Text(Raw().Url("/h")),
               {.Method = row.method,
                .RequestCookies = row.cookies != nullptr ? &cookieVariable : nullptr,
                .ExtraHeaders = row.extra});
    const std::string body = row.method == 1 ? "Content-Length: 0\r\n\r\n" : "\r\n";
    EXPECT_EQ(OnlyRequest(), std::string(row.method == 1 ? "POST" : "GET") + " /h HTTP/1.1\r\n" +
                                 Host() + row.lines + body);
  }
}

TEST_F(WireTest, SendsTheTargetAsTheAddressGivesIt) {
  const struct {
    std::string address;
    const char* target;
  } rows[] = {
      {"/a/b?x=1&y=%41", "/a/b?x=1&y=%41"},
      {"/a/../b/./c", "/a/../b/./c"},  // no dot segments removed
      {"/p?q#frag", "/p?q#frag"},      // the extra information goes whole
      {"/p ", "/p%20"},                // the trailing space of a pasted address
      {"?x=1", "/"},                   // an empty path: "/" and nothing after it
      {"", "/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.address);
    Raw().ClearReceivedRequests();
    WebRequest(Text("http://127.0.0.1:" + std::to_string(Raw().Port()) + row.address));
    const std::string request = OnlyRequest();
    EXPECT_EQ(request.substr(0, request.find("\r\n")),
              std::string("GET ") + row.target + " HTTP/1.1");
  }
  // Characters beyond ASCII go as UTF-8, escaped.
  Raw().ClearReceivedRequests();
  WebRequest(ConcatText(Text(Raw().Url("/")), Gbk("中")));
  EXPECT_EQ(OnlyRequest().substr(0, 24), "GET /%E4%B8%AD HTTP/1.1\r");
}

}  // namespace
}  // namespace quorvane::webtest
