// GoogleTest environments that start a test server once per test binary and stop it at the end.
// A failure to start is a fatal failure of the environment, so GoogleTest runs none of the
// binary's tests and prints the server's error.
//
// Register at namespace scope (works with gtest_main) and keep the pointer for the tests:
//
//   namespace qt = quorvane::testing;
//   qt::NginxEnvironment* const nginx = qt::AddEnvironment(
//       new qt::NginxEnvironment([](qt::NginxServer& server) {
//         server.WriteFile("page.html", "<p>hello</p>");
//         return qt::NginxConfig{.serverDirectives =
//             "location /secret { auth_basic on; auth_basic_user_file " +
//             server.HtpasswdFile("user", "pass") + "; }"};
//       }));
//   qt::TinyProxyEnvironment* const proxy = qt::AddEnvironment(new qt::TinyProxyEnvironment);
//   qt::TinyProxyEnvironment* const authProxy =
//       qt::AddEnvironment(new qt::TinyProxyEnvironment("puser", "ppass"));
//   qt::RawServerEnvironment* const raw = qt::AddEnvironment(new qt::RawServerEnvironment);
//
//   TEST(Page, Fetches) { ... nginx->server().HttpUrl("/page.html") ... }
//
// Environments set up in the order they were added, before the first test.
#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "quorvane/testing/nginx_server.h"
#include "quorvane/testing/raw_server.h"
#include "quorvane/testing/tiny_proxy.h"

namespace quorvane::testing {

class NginxEnvironment : public ::testing::Environment {
 public:
  explicit NginxEnvironment(NginxConfig config);
  // makeConfig runs just before the start with the server, so it can write pages and password
  // files and build directives from their paths.
  explicit NginxEnvironment(std::function<NginxConfig(NginxServer&)> makeConfig);
  void SetUp() override;
  void TearDown() override;
  NginxServer& server() { return server_; }

 private:
  std::function<NginxConfig(NginxServer&)> makeConfig_;
  NginxServer server_;
};

class TinyProxyEnvironment : public ::testing::Environment {
 public:
  // Without arguments no credentials are asked for.
  TinyProxyEnvironment(std::string basicUser = "", std::string basicPassword = "");
  void SetUp() override;
  void TearDown() override;
  TinyProxy& proxy() { return proxy_; }

 private:
  std::string basicUser_;
  std::string basicPassword_;
  TinyProxy proxy_;
};

class RawServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  RawServer& server() { return server_; }

 private:
  RawServer server_;
};

// ::testing::AddGlobalTestEnvironment keeping the environment's own type.
template <typename EnvironmentType>
EnvironmentType* AddEnvironment(EnvironmentType* environment) {
  ::testing::AddGlobalTestEnvironment(environment);
  return environment;
}

}  // namespace quorvane::testing
