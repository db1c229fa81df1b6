// A real nginx (Debian's /usr/sbin/nginx) on loopback, run by the test process in a private
// prefix (a fresh temporary directory holding configuration, pages, logs, pid and temp files).
//
// One process (`master_process off; daemon off;`), started as a child of the calling thread
// with PR_SET_PDEATHSIG, so it never outlives the test process; Stop() and the destructor kill
// it. Start from a thread that lives as long as the server (normally the main thread, e.g. in a
// GoogleTest environment, see server_environments.h): the death signal follows that thread.
//
// Two server blocks hold the same directives and the same document root:
//   HTTP  on 127.0.0.1:HttpPort()
//   HTTPS on 127.0.0.1:HttpsPort() (HTTP/1.1 only, TLS 1.2 and 1.3), with a certificate for
//         IP 127.0.0.1, IP ::1 and DNS localhost, signed by a test CA made at the first Start
//         with the openssl command line (CaCertificateFile()).
//
// Placeholders replaced in the directives before nginx reads them (ports are only known at
// start): @HTTP_PORT@, @HTTPS_PORT@, @DOCUMENT_ROOT@, @PREFIX@. Example of an https-to-http
// redirect: `location = /down { return 302 http://127.0.0.1:@HTTP_PORT@/page.html; }`.
//
// Built in, in both server blocks (paths below /__quorvane/ are reserved):
//   location = /__quorvane/ok   answers 200 "ok\n" to any method, not logged.
// At http level: a types table for html, htm, txt, css, js, json, xml, jpg, jpeg, png, gif, webp
// (default application/octet-stream), no charset added, keepalive on, request bodies up to
// 64 MiB kept in one memory buffer, `server_tokens off`.
//
// Every request is logged (one JSON line, buffer off) and read back with TakeReceivedRequests():
// method, target, protocol, scheme, status, the headers listed in kLoggedHeaders (plus
// NginxConfig::extraLoggedHeaders) and the body where nginx read it. nginx reads a body only
// for a proxied request: put ReadBodyDirectives() in a location to have its bodies logged.
// nginx cannot log header order, headers outside the list or an empty header: a test that
// needs the exact bytes of a request uses RawServer. A location with `access_log off` is not
// logged.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/testing/received_request.h"

namespace quorvane::testing {

struct NginxConfig {
  // Directives placed inside both server blocks (locations, return, add_header, auth_basic, ...).
  std::string serverDirectives{};
  // Directives placed at http level, before the server blocks (map, upstream, ...).
  std::string httpDirectives{};
  // Lower-case request header names logged beyond kLoggedHeaders, e.g. "x-my-probe".
  std::vector<std::string> extraLoggedHeaders{};
};

class NginxServer {
 public:
  // Request headers every log line records (lower case).
  static const std::vector<std::string> kLoggedHeaders;

  // Makes the private prefix at once, so files and password files can be written before Start.
  NginxServer();
  ~NginxServer();  // Stop(), then the prefix is removed
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // Chooses two free ports, writes the configuration and starts nginx; returns once both ports
  // accept connections (at most 10 s). Retries with other ports when one was taken meanwhile.
  // On failure returns false, leaves nothing running and writes a message with nginx's error
  // log into *error (when error is not null). A running server is stopped first.
  bool Start(const std::string& serverDirectives, std::string* error);
  bool Start(const NginxConfig& config, std::string* error);
  // Stops nginx (TERM, then KILL after 5 s) and waits for it. Safe to call when not running.
  void Stop();
  bool IsRunning() const;

  int HttpPort() const;                               // 0 when not running
  int HttpsPort() const;                              // 0 when not running
  std::string HttpUrl(std::string_view path) const;   // "http://127.0.0.1:<port>" + path
  std::string HttpsUrl(std::string_view path) const;  // "https://127.0.0.1:<port>" + path

  std::string Prefix() const;        // the private directory
  std::string DocumentRoot() const;  // Prefix() + "/html", served by both server blocks
  // Writes DocumentRoot() + "/" + relativePath, making parent directories. Works before and
  // after Start; nginx reads files per request. False on failure.
  bool WriteFile(std::string_view relativePath, std::string_view bytes) const;
  // The PEM file of the test CA (empty before the first successful Start). Pass it to the
  // page fetch's test-CA hook or to `curl --cacert`. The CA stays the same across restarts.
  std::string CaCertificateFile() const;
  // Writes a password file with one user (an "$apr1$" hash made with `openssl passwd`) and
  // returns its absolute path for `auth_basic_user_file`. Each user name gets its own file; a
  // second call for the same user replaces it. Empty on failure, also for an empty user name, a
  // user name with ':' and a line break in either. The password may hold ':'.
  std::string HtpasswdFile(std::string_view user, std::string_view password) const;
  // Directives for a location whose request bodies are logged: nginx reads the whole body and
  // passes the request (method, headers, body) to `answerPath` on this server's HTTP port,
  // whose answer goes back to the client. That inner hop is not logged. Use inside any
  // location, also a regular-expression one, e.g.
  //   "location /post { " + NginxServer::ReadBodyDirectives() + " }"
  //   "location = /answer201 { return 201 'made'; }"
  //   "location /form { " + NginxServer::ReadBodyDirectives("/answer201") + " }"
  static std::string ReadBodyDirectives(std::string_view answerPath = "/__quorvane/ok");

  // Every request logged since the last call (or since Start), oldest first. nginx writes a
  // log line just after the response, so this waits (at most `limit`) until at least
  // `expected` new lines exist and the log has been quiet for 20 ms.
  std::vector<ReceivedRequest> TakeReceivedRequests(
      size_t expected = 0, std::chrono::milliseconds limit = std::chrono::seconds(5));

  std::string ErrorLog() const;  // nginx's error log so far (for diagnostics)

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quorvane::testing
