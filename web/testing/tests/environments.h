// The servers every self-test of this binary shares, started once before the first test.
#pragma once

#include "quorvane/testing/test_servers.h"

namespace quorvane::testing::self_test {

// Pages written before the start: "hello.txt" ("hello\n") and "secret/index.html".
inline constexpr char kUser[] = "reader";
inline constexpr char kPassword[] = "s3cret:pw";
inline constexpr char kProxyUser[] = "proxyuser";
inline constexpr char kProxyPassword[] = "proxy.pw";

NginxServer& Nginx();
TinyProxy& OpenProxy();     // no credentials
TinyProxy& GuardedProxy();  // kProxyUser / kProxyPassword

// Runs a shell command, returns its standard output and sets *exitCode.
std::string RunShell(const std::string& command, int* exitCode);

}  // namespace quorvane::testing::self_test
