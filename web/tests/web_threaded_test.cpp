// WebRequest from several threads at once, as several download jobs call it: each call has
// its own handle, and the process-wide pieces (the library's start, the trusted authorities)
// are shared safely.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "quorvane/testing/test_servers.h"
#include "quorvane/web/transfer.h"
#include "quorvane/web/web_request.h"

namespace quorvane {
namespace {

namespace qt = quorvane::testing;

constexpr const char* kPage = "<html><body>threaded page</body></html>";

qt::NginxEnvironment* const nginx =
    qt::AddEnvironment(new qt::NginxEnvironment([](qt::NginxServer& server) {
      server.WriteFile("page.html", kPage);
      return qt::NginxConfig{.serverDirectives =
                                 "location = /cookies { add_header Set-Cookie \"t=1\"; "
                                 "return 200 \"cookies\\n\"; }\n"};
    }));

TEST(ThreadedWebRequest, ServesSeveralThreadsAtOnce) {
  ASSERT_TRUE(InitializeWebAccess());
  TrustExtraCertificateAuthorityForTesting(nginx->server().CaCertificateFile());
  constexpr int kThreads = 4;
  constexpr int kRequestsEach = 8;
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &good] {
      for (int i = 0; i < kRequestsEach; ++i) {
        // One thread sets the trusted authorities anew while the others fetch.
        if (t == 0) TrustExtraCertificateAuthorityForTesting(nginx->server().CaCertificateFile());
        Text status;
        Text cookies = "a=1";
        Text responseCookies;
        const bool secure = (t + i) % 2 == 0;
        const std::string url =
            secure ? nginx->server().HttpsUrl("/page.html") : nginx->server().HttpUrl("/cookies");
        const Text page = WebRequest(Text(url), {.RequestCookies = &cookies,
                                                 .ResponseCookies = &responseCookies,
                                                 .StatusText = &status});
        const TransferResult picture = Transfer({.url = nginx->server().HttpUrl("/page.html")});
        const bool pageRight = secure ? page.View() == kPage && cookies.View() == "a=1"
                                      : page.View() == "cookies\n" && cookies.View() == "t=1; a=1";
        if (status.View() == "200 OK" && pageRight && picture.complete &&
            picture.body.View() == kPage) {
          ++good;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(good.load(), kThreads * kRequestsEach);
}

}  // namespace
}  // namespace quorvane
