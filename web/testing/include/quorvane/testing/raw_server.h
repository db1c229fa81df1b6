// A small HTTP server of our own on 127.0.0.1:<free port> for misbehaviour no real server
// produces on demand: stalls, replies that break off, replies that are not HTTP.
//
// One thread serves one connection at a time; each connection carries one request:
//   1. read the request head up to and including the first "\r\n\r\n", then as many body bytes
//      as its Content-Length says (nothing more; no chunked bodies). Reading gives up when the
//      client closes or sends nothing for 10 s; whatever arrived is still recorded.
//   2. record the exact bytes (ReceivedRequests()), then
//   3. act, as the current behaviour says, and close the connection.
// Recording happens before acting, so by the time the client sees the outcome the request is
// in ReceivedRequests().
//
// Stalls end at Stop(), when the client closes its end, or after the stall limit (60 s unless
// SetStallLimit says otherwise), whichever comes first. The thread never waits unbounded.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::testing {

class RawServer {
 public:
  enum class Act {
    // Send the bytes, then close (half-close first and let the client finish reading).
    Respond,
    // Send nothing; close when the stall ends.
    StallThenClose,
    // Close at once without sending anything.
    CloseBeforeResponse,
    // Send the bytes (kNotHttpReply when none are given), then close.
    SendNonHttp,
    // Send the bytes - a head whose Content-Length promises more than the body part that
    // follows it - then close. The test writes both; e.g. MakeResponse(...) cut short.
    BreakMidBody,
    // Send the bytes (a head and part of the body, as for BreakMidBody), then stall, then close.
    StallMidBody,
  };
  struct Behaviour {
    Act act = Act::Respond;
    std::string bytes;
  };

  // What SendNonHttp sends when given no bytes.
  static constexpr std::string_view kNotHttpReply = "SSH-2.0-OpenSSH_9.2p1 not a web server\r\n";

  // A complete reply: "HTTP/1.1 <status line>\r\n", the given header lines (each without its
  // "\r\n"), "Content-Length: <body size>", "Connection: close", an empty line, the body.
  // Example: MakeResponse("200 OK", {"Content-Type: text/html"}, "<p>hi</p>").
  static std::string MakeResponse(std::string_view statusLine,
                                  const std::vector<std::string>& headerLines,
                                  std::string_view body);

  RawServer();
  ~RawServer();  // Stop()
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  // The behaviour for every following connection (default: Respond with
  // MakeResponse("200 OK", {}, "ok")). Takes effect for connections accepted after the call.
  void SetBehaviour(Act act, std::string bytes = "");
  // One behaviour per following connection in order; the last one repeats. Empty: the default.
  void SetBehaviours(std::vector<Behaviour> behaviours);
  // How long a stall lasts at most (default 60 s).
  void SetStallLimit(std::chrono::milliseconds limit);

  // Binds 127.0.0.1 on a free port and starts the thread. False with *error set on failure.
  bool Start(std::string* error);
  // Ends any stall, closes the connection and the port, and joins the thread.
  void Stop();
  bool IsRunning() const;

  int Port() const;                              // 0 when not running
  std::string Url(std::string_view path) const;  // "http://127.0.0.1:<port>" + path

  // The exact bytes of each request received, oldest first.
  std::vector<std::string> ReceivedRequests() const;
  // Forgets the requests received so far.
  void ClearReceivedRequests();
  // Number of connections that have been accepted so far (also those that sent nothing).
  int AcceptedConnections() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quorvane::testing
