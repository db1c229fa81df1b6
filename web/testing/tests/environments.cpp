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
