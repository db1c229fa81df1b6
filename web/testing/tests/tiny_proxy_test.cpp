// The loopback tinyproxy: forwards plain requests, tunnels https with CONNECT, and asks for
// credentials when it has them.
#include <gtest/gtest.h>

#include "environments.h"

namespace quorvane::testing::self_test {
namespace {

std::string StatusLine(const std::string& response) {
  return response.substr(0, response.find("\r\n"));
}

std::string ProxiedGet(TinyProxy& proxy, std::string_view extraHeaders = "") {
  const std::string url = Nginx().HttpUrl("/hello.txt");
  return ExchangeOnLoopback(
      proxy.Port(), "GET " + url +
                        " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(Nginx().HttpPort()) +
                        "\r\nConnection: close\r\n" + std::string(extraHeaders) + "\r\n");
}

class TinyProxyTest : public ::testing::Test {
 protected:
  void SetUp() override { Nginx().TakeReceivedRequests(); }
};

TEST_F(TinyProxyTest, ForwardsAGetToNginx) {
  OpenProxy().ClearLog();
  std::string response = ProxiedGet(OpenProxy(), "X-Accept: 1\r\n");
  EXPECT_EQ(StatusLine(response), "HTTP/1.1 200 OK");
  EXPECT_EQ(response.substr(response.size() - 6), "hello\n");
  std::vector<ReceivedRequest> requests = Nginx().TakeReceivedRequests(1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/hello.txt");  // the origin form, as a proxy sends it
  EXPECT_EQ(requests[0].Header("x-accept"), "1");
  EXPECT_NE(requests[0].Header("via").find("tinyproxy"), std::string::npos);
  EXPECT_EQ(OpenProxy().Address(), "127.0.0.1:" + std::to_string(OpenProxy().Port()));
  EXPECT_FALSE(OpenProxy().LogLines().empty());
}

TEST_F(TinyProxyTest, WithCredentialsRefusesRequestsWithoutThem) {
  struct Row {
    const char* what;
    std::string headers;
    const char* expectedStatusLine;
  };
  const Row rows[] = {
      {"none", "", "HTTP/1.0 407 Proxy Authentication Required"},
      // tinyproxy 1.11 answers a wrong pair with 401, not 407.
      {"wrong", "Proxy-Authorization: " + BasicAuthorizationValue(kProxyUser, "nope") + "\r\n",
       "HTTP/1.0 401 Unauthorized"},
      {"right",
       "Proxy-Authorization: " + BasicAuthorizationValue(kProxyUser, kProxyPassword) + "\r\n",
       "HTTP/1.1 200 OK"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(StatusLine(ProxiedGet(GuardedProxy(), row.headers)), row.expectedStatusLine);
  }
  std::vector<ReceivedRequest> requests = Nginx().TakeReceivedRequests(1);
  ASSERT_EQ(requests.size(), 1u);  // only the request with credentials got through
  EXPECT_FALSE(requests[0].HasHeader("proxy-authorization"));
}

TEST_F(TinyProxyTest, TunnelsHttpsWithConnect) {
  const std::string ca = Nginx().CaCertificateFile();
  struct Row {
    const char* what;
    std::string proxyOptions;
  };
  const Row rows[] = {
      {"open", "-x http://" + OpenProxy().Address()},
      {"guarded", "-x http://" + GuardedProxy().Address() + " --proxy-user " + kProxyUser + ":" +
                      kProxyPassword},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    int exitCode = 0;
    std::string output = RunShell("curl -sS --noproxy '' " + row.proxyOptions + " --cacert " + ca +
                                      " " + Nginx().HttpsUrl("/hello.txt") + " 2>&1",
                                  &exitCode);
    EXPECT_EQ(exitCode, 0) << output;
    EXPECT_EQ(output, "hello\n");
    std::vector<ReceivedRequest> requests = Nginx().TakeReceivedRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].scheme, "https");
  }
  // Without credentials the guarded proxy refuses the tunnel.
  int exitCode = 0;
  std::string output =
      RunShell("curl -sS --noproxy '' -x http://" + GuardedProxy().Address() + " --cacert " + ca +
                   " " + Nginx().HttpsUrl("/hello.txt") + " 2>&1",
               &exitCode);
  EXPECT_NE(exitCode, 0);
  EXPECT_NE(output.find("407"), std::string::npos) << output;
}

TEST(TinyProxyLifeTest, StopClosesThePort) {
  TinyProxy proxy;
  std::string error;
  ASSERT_TRUE(proxy.Start(&error)) << error;
  const int port = proxy.Port();
  EXPECT_TRUE(proxy.IsRunning());
  proxy.Stop();
  EXPECT_FALSE(proxy.IsRunning());
  EXPECT_FALSE(WaitForLoopbackPort(port, std::chrono::milliseconds(0)));
  EXPECT_FALSE(proxy.Start(&error, "user name", "pw"));  // tinyproxy cannot read a space there
  EXPECT_FALSE(proxy.IsRunning());
}

}  // namespace
}  // namespace quorvane::testing::self_test
