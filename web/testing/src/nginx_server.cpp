#include "quorvane/testing/nginx_server.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "child_process.h"
#include "quorvane/testing/loopback.h"

namespace quorvane::testing {
namespace {

constexpr const char* kNginxProgram = "/usr/sbin/nginx";
constexpr const char* kOpensslProgram = "/usr/bin/openssl";
constexpr int kStartAttempts = 5;
constexpr auto kReadyLimit = std::chrono::seconds(10);
// Marks the request nginx sends to itself for ReadBodyDirectives, so the log can skip it.
constexpr const char* kInnerHopHeader = "X-Quorvane-Inner-Hop";

std::string ReplaceAll(std::string text, std::string_view from, const std::string& to) {
  size_t position = 0;
  while ((position = text.find(from, position)) != std::string::npos) {
    text.replace(position, from.size(), to);
    position += to.size();
  }
  return text;
}

bool IsHeaderName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
  }
  return true;
}

std::string HexOf(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

// One log line: a flat JSON object of string values as nginx's escape=json writes it (bytes
// of 0x80 and above raw, control bytes as \n, \r, \t, \b, \f or \u00XX).
bool ParseFlatJson(std::string_view line, std::map<std::string, std::string>* fields) {
  size_t at = 0;
  auto skipSpaces = [&] {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  };
  auto readString = [&](std::string* out) {
    if (at >= line.size() || line[at] != '"') return false;
    ++at;
    while (at < line.size()) {
      char c = line[at++];
      if (c == '"') return true;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (at >= line.size()) return false;
      char escaped = line[at++];
      switch (escaped) {
        case 'n':
          out->push_back('\n');
          break;
        case 'r':
          out->push_back('\r');
          break;
        case 't':
          out->push_back('\t');
          break;
        case 'b':
          out->push_back('\b');
          break;
        case 'f':
          out->push_back('\f');
          break;
        case 'u': {
          if (at + 4 > line.size()) return false;
          unsigned value = 0;
          for (char digit : line.substr(at, 4)) {
            int nibble = (digit >= '0' && digit <= '9')   ? digit - '0'
                         : (digit >= 'a' && digit <= 'f') ? digit - 'a' + 10
                         : (digit >= 'A' && digit <= 'F') ? digit - 'A' + 10
                                                          : -1;
            if (nibble < 0) return false;
            value = value * 16 + static_cast<unsigned>(nibble);
          }
          at += 4;
          out->push_back(static_cast<char>(value & 0xFF));
          break;
        }
        default:
          out->push_back(escaped);
          break;
      }
    }
    return false;
  };
  skipSpaces();
  if (at >= line.size() || line[at] != '{') return false;
  ++at;
  for (;;) {
    skipSpaces();
    if (at < line.size() && line[at] == '}') return true;
    std::string key, value;
    if (!readString(&key)) return false;
    skipSpaces();
    if (at >= line.size() || line[at] != ':') return false;
    ++at;
    skipSpaces();
    if (!readString(&value)) return false;
    (*fields)[key] = value;
    skipSpaces();
    if (at < line.size() && line[at] == ',') {
      ++at;
      continue;
    }
    return at < line.size() && line[at] == '}';
  }
}

std::string NginxVariableOf(const std::string& headerName) {
  std::string variable = "$http_" + headerName;
  for (char& c : variable) {
    if (c == '-') c = '_';
  }
  return variable;
}

}  // namespace

const std::vector<std::string> NginxServer::kLoggedHeaders = {
    "host",
    "user-agent",
    "accept",
    "accept-encoding",
    "accept-language",
    "accept-charset",
    "cache-control",
    "pragma",
    "cookie",
    "content-type",
    "content-length",
    "transfer-encoding",
    "authorization",
    "proxy-authorization",
    "referer",
    "connection",
    "expect",
    "range",
    "if-modified-since",
    "if-none-match",
    "origin",
    "x-accept",
    "x-requested-with",
    "x-forwarded-for",
    "via",
    "te",
    "upgrade",
    "x-test",
};

struct NginxServer::State {
  TempDirectory prefix{"quorvane-nginx"};
  internal::ChildProcess process;
  int httpPort = 0;
  int httpsPort = 0;
  bool haveCertificates = false;
  std::vector<std::string> loggedHeaders;
  std::mutex logMutex;
  std::uintmax_t logOffset = 0;

  std::string PathOf(std::string_view relative) const {
    return prefix.Path() + "/" + std::string(relative);
  }
  std::string AccessLog() const { return PathOf("logs/access.log"); }
  std::string ErrorLogFile() const { return PathOf("logs/error.log"); }
  std::string PidFile() const { return PathOf("logs/nginx.pid"); }
};

NginxServer::NginxServer() : state_(std::make_unique<State>()) {
  if (state_->prefix.Path().empty()) return;
  std::error_code ignored;
  for (const char* directory : {"conf", "html", "logs", "tls", "auth", "tmp/body", "tmp/proxy",
                                "tmp/fastcgi", "tmp/uwsgi", "tmp/scgi"}) {
    std::filesystem::create_directories(state_->PathOf(directory), ignored);
  }
}

NginxServer::~NginxServer() { Stop(); }

bool NginxServer::Start(const std::string& serverDirectives, std::string* error) {
  return Start(NginxConfig{.serverDirectives = serverDirectives}, error);
}

namespace {

// The test CA and a server certificate for 127.0.0.1, ::1 and localhost, signed by it.
bool MakeCertificates(const std::string& tlsDirectory, std::string* error) {
  const std::string config = tlsDirectory + "/openssl.cnf";
  WriteWholeFile(config,
                 "[req]\n"
                 "distinguished_name = dn\n"
                 "prompt = no\n"
                 "[dn]\n"
                 "CN = Quorvane Test CA\n"
                 "[ca_ext]\n"
                 "basicConstraints = critical, CA:TRUE\n"
                 "keyUsage = critical, keyCertSign, cRLSign\n"
                 "subjectKeyIdentifier = hash\n"
                 "[server_ext]\n"
                 "basicConstraints = critical, CA:FALSE\n"
                 "keyUsage = critical, digitalSignature, keyEncipherment\n"
                 "extendedKeyUsage = serverAuth\n"
                 "subjectAltName = IP:127.0.0.1, IP:::1, DNS:localhost\n"
                 "subjectKeyIdentifier = hash\n"
                 "authorityKeyIdentifier = keyid, issuer\n");
  const std::string output = tlsDirectory + "/openssl.log";
  const auto limit = std::chrono::seconds(30);
  std::random_device random;
  const std::string serial = std::to_string((static_cast<unsigned long long>(random()) << 20) ^
                                            static_cast<unsigned long long>(random()));
  const std::vector<std::vector<std::string>> commands = {
      {"openssl", "req", "-x509", "-config", config, "-extensions", "ca_ext", "-newkey", "ec",
       "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", tlsDirectory + "/ca.key",
       "-out", tlsDirectory + "/ca.pem", "-days", "3650"},
      {"openssl", "req", "-new", "-config", config, "-subj", "/CN=localhost", "-newkey", "ec",
       "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
       tlsDirectory + "/server.key", "-out", tlsDirectory + "/server.csr"},
      {"openssl", "x509", "-req", "-in", tlsDirectory + "/server.csr", "-CA",
       tlsDirectory + "/ca.pem", "-CAkey", tlsDirectory + "/ca.key", "-set_serial", serial, "-days",
       "3650", "-extfile", config, "-extensions", "server_ext", "-out",
       tlsDirectory + "/server.pem"},
  };
  for (const auto& command : commands) {
    if (!internal::RunCommand(kOpensslProgram, command, output, limit, error)) return false;
  }
  return true;
}

std::string LogFormat(const std::vector<std::string>& headers) {
  std::string format =
      "log_format quorvane escape=json '{\"line\":\"$request\",\"method\":\"$request_method\","
      "\"target\":\"$request_uri\",\"protocol\":\"$server_protocol\",\"scheme\":\"$scheme\","
      "\"status\":\"$status\",\"inner\":\"$http_x_quorvane_inner_hop\","
      "\"body\":\"$request_body\"";
  for (const std::string& header : headers) {
    format += ",\"h:" + header + "\":\"" + NginxVariableOf(header) + "\"";
  }
  return format + "}';\n";
}

std::string ServerBlock(const std::string& listen, const std::string& tls,
                        const std::string& directives) {
  return "  server {\n"
         "    listen " +
         listen +
         ";\n"
         "    server_name localhost 127.0.0.1;\n"
         "    root @DOCUMENT_ROOT@;\n" +
         tls + "    location = /__quorvane/ok { access_log off; return 200 \"ok\\n\"; }\n" +
         directives + "\n  }\n";
}

std::string ConfigText(const NginxConfig& config, const std::vector<std::string>& headers) {
  std::string text = "# Written by the test-server library; every path lies in the prefix.\n";
  if (geteuid() == 0) text += "user root;\n";
  text +=
      "daemon off;\n"
      "master_process off;\n"
      "worker_processes 1;\n"
      "pid @PREFIX@/logs/nginx.pid;\n"
      "error_log @PREFIX@/logs/error.log notice;\n"
      "events { worker_connections 512; }\n"
      "http {\n"
      "  " +
      LogFormat(headers) +
      "  access_log @PREFIX@/logs/access.log quorvane;\n"
      "  client_body_temp_path @PREFIX@/tmp/body;\n"
      "  proxy_temp_path @PREFIX@/tmp/proxy;\n"
      "  fastcgi_temp_path @PREFIX@/tmp/fastcgi;\n"
      "  uwsgi_temp_path @PREFIX@/tmp/uwsgi;\n"
      "  scgi_temp_path @PREFIX@/tmp/scgi;\n"
      "  types {\n"
      "    text/html html htm; text/plain txt; text/css css; application/javascript js;\n"
      "    application/json json; text/xml xml; image/jpeg jpg jpeg; image/png png;\n"
      "    image/gif gif; image/webp webp;\n"
      "  }\n"
      "  default_type application/octet-stream;\n"
      "  server_tokens off;\n"
      "  keepalive_timeout 65;\n"
      "  client_max_body_size 64m;\n"
      "  client_body_buffer_size 64m;\n"
      "  client_body_in_single_buffer on;\n" +
      config.httpDirectives + "\n" +
      ServerBlock("127.0.0.1:@HTTP_PORT@ default_server", "", config.serverDirectives) +
      ServerBlock("127.0.0.1:@HTTPS_PORT@ ssl default_server",
                  "    ssl_certificate @PREFIX@/tls/server.pem;\n"
                  "    ssl_certificate_key @PREFIX@/tls/server.key;\n"
                  "    ssl_protocols TLSv1.2 TLSv1.3;\n",
                  config.serverDirectives) +
      "}\n";
  return text;
}

}  // namespace

bool NginxServer::Start(const NginxConfig& config, std::string* error) {
  Stop();
  State& state = *state_;
  auto fail = [&](const std::string& message) {
    if (error) *error = "nginx test server: " + message;
    return false;
  };
  if (state.prefix.Path().empty()) return fail("could not make a temporary directory");
  if (access(kNginxProgram, X_OK) != 0) {
    return fail(std::string(kNginxProgram) + " is missing (install the nginx package)");
  }
  state.loggedHeaders = kLoggedHeaders;
  for (const std::string& name : config.extraLoggedHeaders) {
    if (!IsHeaderName(name)) return fail("not a lower-case header name: \"" + name + "\"");
    state.loggedHeaders.push_back(name);
  }
  if (!state.haveCertificates) {
    std::string opensslError;
    if (!MakeCertificates(state.PathOf("tls"), &opensslError)) {
      return fail("making the test certificates failed: " + opensslError);
    }
    state.haveCertificates = true;
  }
  const std::string configFile = state.PathOf("conf/nginx.conf");
  const std::string outputFile = state.PathOf("logs/output.log");
  std::string lastFailure;
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    const int httpPort = FreeLoopbackPort();
    int httpsPort = FreeLoopbackPort();
    for (int tries = 0; httpsPort == httpPort && tries < 10; ++tries) {
      httpsPort = FreeLoopbackPort();
    }
    if (httpPort == 0 || httpsPort == 0 || httpPort == httpsPort) {
      return fail("no free loopback port");
    }
    std::string text = ConfigText(config, state.loggedHeaders);
    text = ReplaceAll(text, "@HTTP_PORT@", std::to_string(httpPort));
    text = ReplaceAll(text, "@HTTPS_PORT@", std::to_string(httpsPort));
    text = ReplaceAll(text, "@DOCUMENT_ROOT@", DocumentRoot());
    text = ReplaceAll(text, "@PREFIX@", state.prefix.Path());
    if (!WriteWholeFile(configFile, text)) return fail("could not write " + configFile);
    std::error_code ignored;
    std::filesystem::remove(state.PidFile(), ignored);
    const size_t errorLogStart = ReadWholeFile(state.ErrorLogFile()).size();
    {
      std::lock_guard<std::mutex> lock(state.logMutex);
      std::error_code noLog;
      auto size = std::filesystem::file_size(state.AccessLog(), noLog);
      state.logOffset = noLog ? 0 : size;
    }
    std::string startError;
    if (!state.process.Start(kNginxProgram,
                             {"nginx", "-p", state.prefix.Path() + "/", "-e", state.ErrorLogFile(),
                              "-c", configFile},
                             outputFile, &startError)) {
      return fail(startError);
    }
    // Ready when nginx has written its pid file (after binding both ports, so the ports are
    // ours and not another process's) and both ports accept connections.
    const auto deadline = std::chrono::steady_clock::now() + kReadyLimit;
    bool ready = false;
    while (std::chrono::steady_clock::now() < deadline && state.process.IsRunning()) {
      std::string pid = ReadWholeFile(state.PidFile());
      if (!pid.empty() && WaitForLoopbackPort(httpPort, std::chrono::milliseconds(0)) &&
          WaitForLoopbackPort(httpsPort, std::chrono::milliseconds(0)) &&
          state.process.IsRunning()) {
        ready = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ready) {
      state.httpPort = httpPort;
      state.httpsPort = httpsPort;
      return true;
    }
    const bool ended = !state.process.IsRunning();
    state.process.Stop();
    std::string errorLog = ReadWholeFile(state.ErrorLogFile());
    errorLog = errorLog.substr(std::min(errorLog.size(), errorLogStart));
    lastFailure = (ended ? "nginx ended (" + state.process.EndDescription() + ")"
                         : std::string("nginx did not accept connections within 10 s")) +
                  "; error log:\n" + errorLog + "output:\n" + ReadWholeFile(outputFile);
    // Only a port taken meanwhile is worth another attempt.
    if (errorLog.find("Address already in use") == std::string::npos) break;
  }
  return fail(lastFailure);
}

void NginxServer::Stop() {
  state_->process.Stop();
  state_->httpPort = 0;
  state_->httpsPort = 0;
}

bool NginxServer::IsRunning() const { return state_->process.IsRunning(); }

int NginxServer::HttpPort() const { return state_->httpPort; }
int NginxServer::HttpsPort() const { return state_->httpsPort; }

std::string NginxServer::HttpUrl(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(state_->httpPort) + std::string(path);
}

std::string NginxServer::HttpsUrl(std::string_view path) const {
  return "https://127.0.0.1:" + std::to_string(state_->httpsPort) + std::string(path);
}

std::string NginxServer::Prefix() const { return state_->prefix.Path(); }
std::string NginxServer::DocumentRoot() const { return state_->PathOf("html"); }

bool NginxServer::WriteFile(std::string_view relativePath, std::string_view bytes) const {
  if (state_->prefix.Path().empty()) return false;
  return WriteWholeFile(DocumentRoot() + "/" + std::string(relativePath), bytes);
}

std::string NginxServer::CaCertificateFile() const {
  return state_->haveCertificates ? state_->PathOf("tls/ca.pem") : std::string();
}

std::string NginxServer::HtpasswdFile(std::string_view user, std::string_view password) const {
  if (state_->prefix.Path().empty() || user.empty() || user.find(':') != std::string_view::npos ||
      user.find('\n') != std::string_view::npos || password.find('\n') != std::string_view::npos) {
    return {};
  }
  // The Apache MD5 form ("$apr1$..."), made by the openssl command line: the password may hold
  // any byte but a line break, also ':', which nginx would take for a field end in plain text.
  const std::string base = state_->PathOf("auth/htpasswd-" + HexOf(user));
  const std::string passwordFile = base + ".password";
  const std::string hashFile = base + ".hash";
  std::error_code ignored;
  std::filesystem::remove(hashFile, ignored);
  if (!WriteWholeFile(passwordFile, std::string(password) + "\n")) return {};
  std::string error;
  bool made =
      internal::RunCommand(kOpensslProgram, {"openssl", "passwd", "-apr1", "-in", passwordFile},
                           hashFile, std::chrono::seconds(30), &error);
  std::string hash = ReadWholeFile(hashFile);
  std::filesystem::remove(passwordFile, ignored);
  std::filesystem::remove(hashFile, ignored);
  while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) hash.pop_back();
  if (!made || hash.rfind("$apr1$", 0) != 0 || hash.find('\n') != std::string::npos) return {};
  return WriteWholeFile(base, std::string(user) + ":" + hash + "\n") ? base : std::string();
}

std::string NginxServer::ReadBodyDirectives(std::string_view answerPath) {
  return "set $quorvane_answer \"" + std::string(answerPath) + "\"; proxy_set_header " +
         kInnerHopHeader + " 1; proxy_pass http://127.0.0.1:@HTTP_PORT@$quorvane_answer;";
}

std::vector<ReceivedRequest> NginxServer::TakeReceivedRequests(size_t expected,
                                                               std::chrono::milliseconds limit) {
  State& state = *state_;
  std::lock_guard<std::mutex> lock(state.logMutex);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const auto quiet = std::chrono::milliseconds(20);

  auto lastGrowth = std::chrono::steady_clock::now();
  std::uintmax_t readUpTo = state.logOffset;
  std::vector<ReceivedRequest> requests;
  auto readMore = [&] {
    std::ifstream in(state.AccessLog(), std::ios::binary);
    if (!in) return false;
    in.seekg(static_cast<std::streamoff>(readUpTo));
    std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t lastNewline = chunk.rfind('\n');
    if (lastNewline == std::string::npos) return false;
    chunk.resize(lastNewline + 1);
    readUpTo += chunk.size();
    size_t start = 0;
    while (start < chunk.size()) {
      size_t end = chunk.find('\n', start);
      std::map<std::string, std::string> fields;
      if (ParseFlatJson(std::string_view(chunk).substr(start, end - start), &fields) &&
          fields["inner"].empty()) {
        ReceivedRequest request;
        request.requestLine = fields["line"];
        request.method = fields["method"];
        request.target = fields["target"];
        request.protocol = fields["protocol"];
        request.scheme = fields["scheme"];
        request.status = std::atoi(fields["status"].c_str());
        request.body = fields["body"];
        for (const auto& [key, value] : fields) {
          if (key.rfind("h:", 0) == 0 && !value.empty()) request.headers[key.substr(2)] = value;
        }
        requests.push_back(std::move(request));
      }
      start = end + 1;
    }
    return true;
  };
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (readMore()) lastGrowth = std::chrono::steady_clock::now();
    if (requests.size() >= expected && now - lastGrowth >= quiet) break;
    if (now >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  state.logOffset = readUpTo;
  return requests;
}

std::string NginxServer::ErrorLog() const { return ReadWholeFile(state_->ErrorLogFile()); }

}  // namespace quorvane::testing
