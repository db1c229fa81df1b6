// The servers of the web tests, started once per test binary by GoogleTest environments:
// nginx (http and https with a test CA the requests trust), tinyproxy with and without Basic
// credentials, and our raw server for what real servers do not do on demand.
#pragma once

#include <string>
#include <string_view>

#include "quorvane/testing/test_servers.h"
#include "quorvane/text/text.h"

namespace quorvane::webtest {

namespace qt = quorvane::testing;

inline constexpr const char* kUser = "reader";
inline constexpr const char* kPassword = "s3cret";
inline constexpr const char* kProxyUser = "proxyman";
inline constexpr const char* kProxyPassword = "pr0xy";

qt::NginxServer& Nginx();
qt::TinyProxy& OpenProxy();
qt::TinyProxy& GuardedProxy();
qt::RawServer& Raw();

// The page the UTF-8, GBK and GB2312 pages all show, as code page 936 text.
Text PageWords();

// A Text from UTF-8 source bytes, in code page 936.
Text Gbk(std::string_view utf8);

// "Basic " and the base64 of user:password, as a server receives it.
std::string BasicAuthorization(std::string_view user, std::string_view password);

// Drains what the servers recorded before the test, and puts the raw server back to its
// default behaviour afterwards.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace quorvane::webtest
