#include "web_test_servers.h"

#include "quorvane/text/code_page.h"
#include "quorvane/web/web_request.h"

namespace quorvane::webtest {
namespace {

constexpr const char* kWordsUtf8 = "中文页面，编码测试";

std::string GbkBytes(std::string_view utf8) { return std::string(Gbk(utf8).View()); }

qt::RawServerEnvironment* const raw = qt::AddEnvironment(new qt::RawServerEnvironment);

// nginx starts after the raw server, so that it can pass /slow on to it.
qt::NginxEnvironment* const nginx =
    qt::AddEnvironment(new qt::NginxEnvironment([](qt::NginxServer& server) {
      const std::string words = kWordsUtf8;
      server.WriteFile("page.html", "<html><body>plain page</body></html>");
      server.WriteFile("empty.html", "");
      server.WriteFile("utf8.html",
                       "<html><head><meta charset=\"utf-8\"><title>u</title></head>"
                       "<body>" +
                           words + "</body></html>");
      server.WriteFile("gbk.html", GbkBytes("<html><head><meta http-equiv=\"Content-Type\" "
                                            "content=\"text/html; charset=gbk\"></head><body>" +
                                            words + "</body></html>"));
      server.WriteFile("gb2312.html",
                       GbkBytes("<html><head><meta http-equiv=\"Content-Type\" "
                                "content=\"text/html; charset=gb2312\"></head><body>" +
                                words + "</body></html>"));
      server.WriteFile(
          "gbk-capitals.html",
          GbkBytes("<html><head><meta charset=\"GBK\"></head><body>" + words + "</body></html>"));
      server.WriteFile("late.html", "<html><head><!--" + std::string(1100, '-') +
                                        "--><meta charset=\"utf-8\"></head><body>" + words +
                                        "</body></html>");
      server.WriteFile("secret/page.html", "secret page");
      const std::string slow = "http://127.0.0.1:" + std::to_string(raw->server().Port());
      return qt::NginxConfig{
          .serverDirectives =
              "location = /cookies { add_header Set-Cookie \"a=1; Path=/\"; "
              "add_header set-cookie \"b=2\"; "
              "add_header SET-COOKIE \"gone=deleted; Path=/; Expires=Thu, 01 Jan 1970 00:00:01 "
              "GMT\"; return 200 \"cookies\\n\"; }\n"
              "location = /moved { return 301 /page.html; }\n"
              "location = /found { return 302 /target; }\n"
              "location = /see-other { return 303 /target; }\n"
              "location = /temporary { return 307 /target; }\n"
              "location = /target { " +
              qt::NginxServer::ReadBodyDirectives() +
              " }\n"
              "location = /post { " +
              qt::NginxServer::ReadBodyDirectives() +
              " }\n"
              "location = /chain1 { absolute_redirect off; return 302 /chain2; }\n"
              "location = /chain2 { absolute_redirect off; return 302 chain3; }\n"
              "location = /chain3 { absolute_redirect off; return 302 /page.html; }\n"
              "location = /loop { return 302 /loop; }\n"
              "location = /down { return 302 http://127.0.0.1:@HTTP_PORT@/page.html; }\n"
              "location = /up { return 302 https://127.0.0.1:@HTTPS_PORT@/page.html; }\n"
              "location = /to-ftp { return 302 ftp://127.0.0.1/file; }\n"
              "location = /cookie-hop { add_header Set-Cookie \"hop=1; Path=/\"; "
              "return 302 /cookie-seen; }\n"
              "location = /cookie-seen { return 200 \"seen\\n\"; }\n"
              "location /secret/ { auth_basic \"quorvane\"; auth_basic_user_file " +
              server.HtpasswdFile(kUser, kPassword) +
              "; }\n"
              "location = /slow { proxy_pass " +
              slow + "; }\n",
          .extraLoggedHeaders = {"x-a", "x-b"}};
    }));

// The https tests trust nginx's test CA, as the tool would trust a public one.
class TrustTestAuthority : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(InitializeWebAccess());
    TrustExtraCertificateAuthorityForTesting(nginx->server().CaCertificateFile());
  }
  void TearDown() override { TrustExtraCertificateAuthorityForTesting(""); }
};
::testing::Environment* const trust = qt::AddEnvironment(new TrustTestAuthority);

qt::TinyProxyEnvironment* const openProxy = qt::AddEnvironment(new qt::TinyProxyEnvironment);
qt::TinyProxyEnvironment* const guardedProxy =
    qt::AddEnvironment(new qt::TinyProxyEnvironment(kProxyUser, kProxyPassword));

}  // namespace

qt::NginxServer& Nginx() { return nginx->server(); }
qt::TinyProxy& OpenProxy() { return openProxy->proxy(); }
qt::TinyProxy& GuardedProxy() { return guardedProxy->proxy(); }
qt::RawServer& Raw() { return raw->server(); }

Text PageWords() { return Gbk(kWordsUtf8); }

Text Gbk(std::string_view utf8) { return TextFromUtf8(utf8); }

std::string BasicAuthorization(std::string_view user, std::string_view password) {
  return qt::BasicAuthorizationValue(user, password);
}

void ServerTest::SetUp() {
  Nginx().TakeReceivedRequests(0, std::chrono::milliseconds(50));
  Raw().ClearReceivedRequests();
  OpenProxy().ClearLog();
  GuardedProxy().ClearLog();
}

void ServerTest::TearDown() {
  Raw().SetBehaviours({});
  Raw().SetStallLimit(std::chrono::seconds(60));
}

}  // namespace quorvane::webtest
