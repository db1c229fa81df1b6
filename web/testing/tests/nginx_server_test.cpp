// The loopback nginx: pages, TLS with the test CA, the request log, bodies, placeholders,
// Basic authentication, and that a server never outlives Stop().
#include <gtest/gtest.h>

#include <filesystem>

#include "environments.h"

namespace quorvane::testing::self_test {
namespace {

using namespace std::chrono_literals;

std::string Body(const std::string& response) {
  size_t headEnd = response.find("\r\n\r\n");
  return headEnd == std::string::npos ? std::string() : response.substr(headEnd + 4);
}

std::string StatusLine(const std::string& response) {
  return response.substr(0, response.find("\r\n"));
}

std::string Get(std::string_view target, std::string_view extraHeaders = "") {
  return ExchangeOnLoopback(Nginx().HttpPort(),
                            "GET " + std::string(target) +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                                std::string(extraHeaders) + "\r\n");
}

std::string Post(std::string_view target, std::string_view body) {
  return ExchangeOnLoopback(Nginx().HttpPort(), "POST " + std::string(target) +
                                                    " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                    "Connection: close\r\nContent-Length: " +
                                                    std::to_string(body.size()) + "\r\n\r\n" +
                                                    std::string(body));
}

class NginxServerTest : public ::testing::Test {
 protected:
  void SetUp() override { Nginx().TakeReceivedRequests(); }  // forget earlier tests' requests
};

TEST_F(NginxServerTest, ServesAWrittenFileOverHttp) {
  ASSERT_TRUE(Nginx().WriteFile("deep/er/page.html", "<p>\xc4\xe3\xba\xc3</p>"));
  std::string response = Get("/deep/er/page.html");
  EXPECT_EQ(StatusLine(response), "HTTP/1.1 200 OK");
  EXPECT_NE(response.find("Content-Type: text/html\r\n"), std::string::npos) << response;
  EXPECT_EQ(Body(response), "<p>\xc4\xe3\xba\xc3</p>");
  EXPECT_EQ(StatusLine(Get("/missing.html")), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Nginx().HttpUrl("/a?b"),
            "http://127.0.0.1:" + std::to_string(Nginx().HttpPort()) + "/a?b");
}

TEST_F(NginxServerTest, HttpsIsVerifiedWithTheTestCaForTheAddressAndLocalhost) {
  const std::string ca = Nginx().CaCertificateFile();
  ASSERT_FALSE(ca.empty());
  const std::string port = std::to_string(Nginx().HttpsPort());
  int exitCode = 0;
  // The address itself, and the name localhost pinned to 127.0.0.1.
  std::string byAddress =
      RunShell("curl -sS --noproxy '*' --http2 -w ' %{http_version}' --cacert " + ca + " " +
                   Nginx().HttpsUrl("/hello.txt") + " 2>&1",
               &exitCode);
  EXPECT_EQ(exitCode, 0) << byAddress;
  EXPECT_EQ(byAddress, "hello\n 1.1");  // HTTP/1.1 even when the client offers HTTP/2
  std::string byName =
      RunShell("curl -sS --noproxy '*' --cacert " + ca + " --resolve localhost:" + port +
                   ":127.0.0.1 https://localhost:" + port + "/hello.txt 2>&1",
               &exitCode);
  EXPECT_EQ(exitCode, 0) << byName;
  EXPECT_EQ(byName, "hello\n");
  // Without the test CA the certificate is not trusted (curl's code 60).
  RunShell("curl -s --noproxy '*' -o /dev/null " + Nginx().HttpsUrl("/hello.txt"), &exitCode);
  EXPECT_EQ(exitCode, 60);

  std::vector<ReceivedRequest> requests = Nginx().TakeReceivedRequests(2);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].scheme, "https");
  EXPECT_EQ(requests[0].status, 200);
  EXPECT_EQ(requests[0].Header("host"), "127.0.0.1:" + port);
  EXPECT_EQ(requests[1].Header("host"), "localhost:" + port);
}

TEST_F(NginxServerTest, LogRecordsTheRequestLineAndHeaders) {
  Get("/hello.txt?q=1&r=%20#frag",
      "User-Agent: Agent \"quoted\" \\ back\r\n"
      "Accept: */*\r\n"
      "Accept-Language: zh-cn\r\n"
      "Cookie: a=1\r\n"
      "Cookie: b=2\r\n"
      "X-Accept: 1\r\n"
      "x-probe: \xb0\xa1 gbk\r\n"
      "Empty-Valued:\r\n");
  std::vector<ReceivedRequest> requests = Nginx().TakeReceivedRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  const ReceivedRequest& request = requests[0];
  EXPECT_EQ(request.requestLine, "GET /hello.txt?q=1&r=%20#frag HTTP/1.1");
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/hello.txt?q=1&r=%20#frag");
  EXPECT_EQ(request.protocol, "HTTP/1.1");
  EXPECT_EQ(request.scheme, "http");
  EXPECT_EQ(request.status, 200);
  EXPECT_EQ(request.Header("user-agent"), "Agent \"quoted\" \\ back");
  EXPECT_EQ(request.Header("accept"), "*/*");
  EXPECT_EQ(request.Header("accept-language"), "zh-cn");
  EXPECT_EQ(request.Header("cookie"), "a=1; b=2");
  EXPECT_EQ(request.Header("x-accept"), "1");
  EXPECT_EQ(request.Header("x-probe"), "\xb0\xa1 gbk");  // an extra logged header, bytes kept
  EXPECT_EQ(request.Header("connection"), "close");
  EXPECT_FALSE(request.HasHeader("cache-control"));
  EXPECT_FALSE(request.HasHeader("empty-valued"));
  EXPECT_TRUE(request.body.empty());

  // Taken requests are not returned again.
  EXPECT_TRUE(Nginx().TakeReceivedRequests().empty());
}

TEST_F(NginxServerTest, LocationsThatReadTheBodyLogItAndAnswer) {
  const std::string binary("\"quoted\" \\ line\r\nnext\x01\x7f\xb0\xa1\0end", 30);
  struct Row {
    const char* target;
    const char* expectedStatusLine;
    const char* expectedBody;
  };
  const Row rows[] = {
      {"/post", "HTTP/1.1 200 OK", "ok\n"},             // the built-in answer
      {"/form?x=1", "HTTP/1.1 201 Created", "made\n"},  // an answer of the test's own
      {"/by-pattern/a", "HTTP/1.1 200 OK", "ok\n"},     // inside a regex location
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.target);
    std::string response = Post(row.target, binary);
    EXPECT_EQ(StatusLine(response), row.expectedStatusLine);
    EXPECT_EQ(Body(response), row.expectedBody);
    std::vector<ReceivedRequest> requests = Nginx().TakeReceivedRequests(1);
    ASSERT_EQ(requests.size(), 1u);  // the inner hop is not listed
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, row.target);
    EXPECT_EQ(requests[0].Header("content-length"), std::to_string(binary.size()));
    EXPECT_EQ(requests[0].body, binary);
  }
}

TEST_F(NginxServerTest, PlaceholdersAreReplacedByThePorts) {
  std::string response = Get("/to-http");
  EXPECT_EQ(StatusLine(response), "HTTP/1.1 302 Moved Temporarily");
  EXPECT_NE(response.find("\r\nLocation: " + Nginx().HttpUrl("/hello.txt") + "\r\n"),
            std::string::npos)
      << response;
}

TEST_F(NginxServerTest, BasicAuthenticationWithThePasswordFile) {
  const std::string wrong = BasicAuthorizationValue(kUser, "wrong");
  const std::string right = BasicAuthorizationValue(kUser, kPassword);
  EXPECT_EQ(StatusLine(Get("/secret/")), "HTTP/1.1 401 Unauthorized");
  EXPECT_EQ(StatusLine(Get("/secret/", "Authorization: " + wrong + "\r\n")),
            "HTTP/1.1 401 Unauthorized");
  std::string response = Get("/secret/", "Authorization: " + right + "\r\n");
  EXPECT_EQ(StatusLine(response), "HTTP/1.1 200 OK");
  EXPECT_EQ(Body(response), "<p>behind the door</p>");
  std::vector<ReceivedRequest> requests = Nginx().TakeReceivedRequests(3);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].Header("authorization"), right);
  EXPECT_EQ(Nginx().HtpasswdFile("bad:user", "x"), "");
}

// A server of its own: failures to start, stop and restart.
TEST(NginxServerLifeTest, ABadDirectiveFailsWithNginxsMessageAndLeavesNothingRunning) {
  NginxServer server;
  std::string error;
  EXPECT_FALSE(server.Start("no_such_directive on;", &error));
  EXPECT_NE(error.find("unknown directive \"no_such_directive\""), std::string::npos) << error;
  EXPECT_FALSE(server.IsRunning());
  EXPECT_EQ(server.HttpPort(), 0);
  EXPECT_FALSE(server.Start(NginxConfig{.extraLoggedHeaders = {"Not A Name"}}, &error));
}

TEST(NginxServerLifeTest, StopClosesThePortsAndARestartKeepsTheCaAndPages) {
  std::string prefix;
  {
    NginxServer server;
    prefix = server.Prefix();
    ASSERT_TRUE(server.WriteFile("a.txt", "A"));
    std::string error;
    ASSERT_TRUE(server.Start("", &error)) << error;
    const int port = server.HttpPort();
    const std::string ca = ReadWholeFile(server.CaCertificateFile());
    EXPECT_NE(ca.find("BEGIN CERTIFICATE"), std::string::npos);
    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_FALSE(WaitForLoopbackPort(port, 0ms));

    ASSERT_TRUE(server.Start("", &error)) << error;
    EXPECT_EQ(ReadWholeFile(server.CaCertificateFile()), ca);
    EXPECT_EQ(Body(ExchangeOnLoopback(server.HttpPort(),
                                      "GET /a.txt HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")),
              "A");
    std::vector<ReceivedRequest> requests = server.TakeReceivedRequests(1);
    ASSERT_EQ(requests.size(), 1u);  // only the requests since this start
    EXPECT_EQ(requests[0].protocol, "HTTP/1.0");
  }  // the destructor stops nginx and removes the prefix
  EXPECT_FALSE(std::filesystem::exists(prefix));
}

}  // namespace
}  // namespace quorvane::testing::self_test
