// A real tinyproxy (Debian's /usr/bin/tinyproxy, 1.11) on loopback as an HTTP proxy, run in the
// foreground as a child of the calling thread with PR_SET_PDEATHSIG and a private configuration
// in a fresh temporary directory: listens on 127.0.0.1:<free port>, allows clients from
// 127.0.0.1 and ::1, allows CONNECT to any port (so https goes through it), logs at the Connect
// level, adds its Via header. With a user and password it demands Basic proxy credentials and
// answers 407 without them. Start from a thread that lives as long as the proxy (normally the
// main thread, e.g. in a GoogleTest environment); the destructor stops it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quorvane::testing {

class TinyProxy {
 public:
  TinyProxy();
  ~TinyProxy();  // Stop(), then the private directory is removed
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;

  // Starts the proxy and returns once its port accepts connections (at most 10 s), retrying
  // with another port when one was taken meanwhile. Credentials are required only when both
  // basicUser and basicPassword are non-empty. On failure returns false, leaves nothing
  // running and writes a message with tinyproxy's output into *error (when not null).
  bool Start(std::string* error, std::string basicUser = "", std::string basicPassword = "");
  void Stop();  // TERM, then KILL after 5 s; safe when not running
  bool IsRunning() const;

  int Port() const;                           // 0 when not running
  std::string Address() const;                // "127.0.0.1:<port>"
  std::vector<std::string> LogLines() const;  // tinyproxy's log file, line by line
  // Deletes the log so far, so a test can look at its own lines only.
  void ClearLog();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quorvane::testing
