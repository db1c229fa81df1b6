#include "quorvane/testing/server_environments.h"

#include <utility>

namespace quorvane::testing {

NginxEnvironment::NginxEnvironment(NginxConfig config)
    : makeConfig_([config = std::move(config)](NginxServer&) { return config; }) {}

NginxEnvironment::NginxEnvironment(std::function<NginxConfig(NginxServer&)> makeConfig)
    : makeConfig_(std::move(makeConfig)) {}

void NginxEnvironment::SetUp() {
  std::string error;
  NginxConfig config = makeConfig_ ? makeConfig_(server_) : NginxConfig{};
  if (!server_.Start(config, &error)) GTEST_FAIL() << error;
}

void NginxEnvironment::TearDown() { server_.Stop(); }

TinyProxyEnvironment::TinyProxyEnvironment(std::string basicUser, std::string basicPassword)
    : basicUser_(std::move(basicUser)), basicPassword_(std::move(basicPassword)) {}

void TinyProxyEnvironment::SetUp() {
  std::string error;
  if (!proxy_.Start(&error, basicUser_, basicPassword_)) GTEST_FAIL() << error;
}

void TinyProxyEnvironment::TearDown() { proxy_.Stop(); }

void RawServerEnvironment::SetUp() {
  std::string error;
  if (!server_.Start(&error)) GTEST_FAIL() << error;
}

void RawServerEnvironment::TearDown() { server_.Stop(); }

}  // namespace quorvane::testing
