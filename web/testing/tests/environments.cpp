#include "environments.h"

#include <sys/wait.h>

#include <cstdio>

namespace quorvane::testing::self_test {
namespace {

NginxEnvironment* const nginx = AddEnvironment(new NginxEnvironment([](NginxServer& server) {
  server.WriteFile("hello.txt", "hello\n");
  server.WriteFile("secret/index.html", "<p>behind the door</p>");
  return NginxConfig{
      .serverDirectives =
          "location /secret/ { auth_basic \"Quorvane\"; auth_basic_user_file " +
          server.HtpasswdFile(kUser, kPassword) +
          "; }\n"
          "location /post { " +
          NginxServer::ReadBodyDirectives() +
          " }\n"
          "location = /made { return 201 \"made\\n\"; }\n"
          "location /form { " +
          NginxServer::ReadBodyDirectives("/made") +
          " }\n"
          "location ~ ^/by-pattern/ { " +
          NginxServer::ReadBodyDirectives() +
          " }\n"
          "location = /to-http { return 302 http://127.0.0.1:@HTTP_PORT@/hello.txt; }\n",
      .extraLoggedHeaders = {"x-probe"}};
}));
TinyProxyEnvironment* const openProxy = AddEnvironment(new TinyProxyEnvironment);
TinyProxyEnvironment* const guardedProxy =
    AddEnvironment(new TinyProxyEnvironment(kProxyUser, kProxyPassword));

}  // namespace

NginxServer& Nginx() { return nginx->server(); }
TinyProxy& OpenProxy() { return openProxy->proxy(); }
TinyProxy& GuardedProxy() { return guardedProxy->proxy(); }

std::string BasicCredentials(std::string_view user, std::string_view password) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string plain = std::string(user) + ":" + std::string(password);
  std::string encoded;
  for (size_t i = 0; i < plain.size(); i += 3) {
    unsigned chunk = static_cast<unsigned char>(plain[i]) << 16;
    if (i + 1 < plain.size()) chunk |= static_cast<unsigned char>(plain[i + 1]) << 8;
    if (i + 2 < plain.size()) chunk |= static_cast<unsigned char>(plain[i + 2]);
    encoded += kAlphabet[(chunk >> 18) & 63];
    encoded += kAlphabet[(chunk >> 12) & 63];
    encoded += i + 1 < plain.size() ? kAlphabet[(chunk >> 6) & 63] : '=';
    encoded += i + 2 < plain.size() ? kAlphabet[chunk & 63] : '=';
  }
  return "Basic " + encoded;
}

std::string RunShell(const std::string& command, int* exitCode) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    *exitCode = -1;
    return output;
  }
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  int status = pclose(pipe);
  *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

}  // namespace quorvane::testing::self_test
