// Small loopback helpers shared by the test servers and their users: free ports, a temporary
// directory that removes itself, and a plain-socket exchange for checking a server by hand.
// Everything here talks to 127.0.0.1 only.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace quorvane::testing {

// A TCP port on 127.0.0.1 that was free a moment ago (bound to port 0 and released), or 0 when
// no socket could be bound. Another process may take it before the caller binds it: starters
// retry on a clash.
int FreeLoopbackPort();

// True once a TCP connection to 127.0.0.1:port succeeds, false when `limit` passes first.
bool WaitForLoopbackPort(int port, std::chrono::milliseconds limit);

// Connects to 127.0.0.1:port, sends `request`, half-closes the sending side when
// `closeAfterSending` is true, and returns every byte received until the server closes the
// connection or `limit` passes (whatever arrived so far). Empty when the connection fails.
std::string ExchangeOnLoopback(int port, std::string_view request,
                               std::chrono::milliseconds limit = std::chrono::seconds(10),
                               bool closeAfterSending = false);

// A fresh directory under $TMPDIR (or /tmp), removed with everything inside when the object is
// destroyed. Path() is empty when the directory could not be made.
class TempDirectory {
 public:
  explicit TempDirectory(std::string_view namePrefix = "quorvane-test");
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Writes `bytes` to `path`, making missing parent directories. False on any failure.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// The whole content of `path`, or empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace quorvane::testing
