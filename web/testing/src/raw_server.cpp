#include "quorvane/testing/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

namespace quorvane::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kReadInactivityLimit = std::chrono::seconds(10);
constexpr auto kSendLimit = std::chrono::seconds(10);
// After a reply, how long the server lets the client finish reading before it closes anyway.
constexpr auto kLingerLimit = std::chrono::seconds(1);
constexpr size_t kMaxRequestBytes = 64u << 20;

int MillisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The Content-Length of a request head (ending in "\r\n\r\n"), 0 when absent or malformed.
size_t ContentLengthOf(std::string_view head) {
  static constexpr std::string_view kName = "\r\ncontent-length:";
  for (size_t at = 0; at + kName.size() <= head.size(); ++at) {
    bool same = true;
    for (size_t i = 0; i < kName.size() && same; ++i) same = Lower(head[at + i]) == kName[i];
    if (!same) continue;
    size_t position = at + kName.size();
    while (position < head.size() && (head[position] == ' ' || head[position] == '\t')) {
      ++position;
    }
    size_t length = 0;
    bool any = false;
    while (position < head.size() && head[position] >= '0' && head[position] <= '9') {
      length = length * 10 + static_cast<size_t>(head[position] - '0');
      if (length > kMaxRequestBytes) return kMaxRequestBytes;
      any = true;
      ++position;
    }
    return any ? length : 0;
  }
  return 0;
}

}  // namespace

struct RawServer::State {
  mutable std::mutex mutex;
  std::vector<Behaviour> behaviours;
  size_t nextBehaviour = 0;
  std::chrono::milliseconds stallLimit{std::chrono::seconds(60)};
  std::vector<std::string> received;
  std::atomic<int> accepted{0};

  int listenFd = -1;
  int stopFd = -1;  // an eventfd: readable once Stop() was called
  int port = 0;
  std::thread thread;

  bool StopRequested() const {
    pollfd waiting{stopFd, POLLIN, 0};
    return poll(&waiting, 1, 0) > 0;
  }

  // Waits until fd is ready for `events`, Stop() or the deadline. True only when fd is ready.
  bool WaitFor(int fd, short events, Clock::time_point deadline) const {
    for (;;) {
      pollfd waiting[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
      int ready = poll(waiting, 2, MillisecondsUntil(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0 || waiting[1].revents != 0) return false;
      return waiting[0].revents != 0;
    }
  }

  std::string ReadRequest(int fd) const {
    std::string bytes;
    char buffer[16384];
    for (;;) {
      if (!WaitFor(fd, POLLIN, Clock::now() + kReadInactivityLimit)) return bytes;
      ssize_t got = recv(fd, buffer, sizeof buffer, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return bytes;
      bytes.append(buffer, static_cast<size_t>(got));
      size_t headEnd = bytes.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        size_t total =
            headEnd + 4 + ContentLengthOf(std::string_view(bytes).substr(0, headEnd + 4));
        if (bytes.size() >= total) {
          bytes.resize(total);
          return bytes;
        }
      }
      if (bytes.size() >= kMaxRequestBytes) return bytes;
    }
  }

  void SendAll(int fd, std::string_view bytes) const {
    const auto deadline = Clock::now() + kSendLimit;
    size_t sent = 0;
    while (sent < bytes.size()) {
      if (!WaitFor(fd, POLLOUT, deadline)) return;
      ssize_t written = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return;
      sent += static_cast<size_t>(written);
    }
  }

  // Reads and drops whatever the client sends until it closes, Stop() or the deadline.
  void DrainUntil(int fd, Clock::time_point deadline) const {
    char buffer[16384];
    for (;;) {
      if (!WaitFor(fd, POLLIN, deadline)) return;
      ssize_t got = recv(fd, buffer, sizeof buffer, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return;
    }
  }

  void Stall(int fd) const {
    std::chrono::milliseconds limit;
    {
      std::lock_guard<std::mutex> lock(mutex);
      limit = stallLimit;
    }
    DrainUntil(fd, Clock::now() + limit);
  }

  // Sends the reply, then closes with a FIN after letting the client read it (closing with
  // unread input would send a reset that can destroy the reply in flight).
  void SendThenClose(int fd, std::string_view bytes) const {
    SendAll(fd, bytes);
    shutdown(fd, SHUT_WR);
    DrainUntil(fd, Clock::now() + kLingerLimit);
  }

  void Serve(int fd) {
    std::string request = ReadRequest(fd);
    Behaviour behaviour;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!request.empty()) received.push_back(request);
      if (!behaviours.empty()) {
        behaviour = behaviours[std::min(nextBehaviour, behaviours.size() - 1)];
        ++nextBehaviour;
      } else {
        behaviour = {Act::Respond, MakeResponse("200 OK", {}, "ok")};
      }
    }
    switch (behaviour.act) {
      case Act::Respond:
      case Act::BreakMidBody:
        SendThenClose(fd, behaviour.bytes);
        break;
      case Act::SendNonHttp:
        SendThenClose(fd, behaviour.bytes.empty() ? kNotHttpReply : behaviour.bytes);
        break;
      case Act::StallThenClose:
        Stall(fd);
        break;
      case Act::StallMidBody:
        SendAll(fd, behaviour.bytes);
        Stall(fd);
        break;
      case Act::CloseBeforeResponse:
        break;
    }
    close(fd);
  }

  void Run() {
    for (;;) {
      pollfd waiting[2] = {{listenFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
      int ready = poll(waiting, 2, -1);  // Stop() always wakes it
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0 || waiting[1].revents != 0) return;
      if (waiting[0].revents == 0) continue;
      int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      accepted.fetch_add(1);
      Serve(fd);
      if (StopRequested()) return;
    }
  }
};

std::string RawServer::MakeResponse(std::string_view statusLine,
                                    const std::vector<std::string>& headerLines,
                                    std::string_view body) {
  std::string response = "HTTP/1.1 " + std::string(statusLine) + "\r\n";
  for (const std::string& line : headerLines) response += line + "\r\n";
  response += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  response += body;
  return response;
}

RawServer::RawServer() : state_(std::make_unique<State>()) {}

RawServer::~RawServer() { Stop(); }

void RawServer::SetBehaviour(Act act, std::string bytes) {
  SetBehaviours({Behaviour{act, std::move(bytes)}});
}

void RawServer::SetBehaviours(std::vector<Behaviour> behaviours) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->behaviours = std::move(behaviours);
  state_->nextBehaviour = 0;
}

void RawServer::SetStallLimit(std::chrono::milliseconds limit) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->stallLimit = limit;
}

bool RawServer::Start(std::string* error) {
  Stop();
  State& state = *state_;
  auto fail = [&](const std::string& message) {
    if (error) *error = "raw test server: " + message + ": " + std::strerror(errno);
    if (state.listenFd >= 0) close(state.listenFd);
    if (state.stopFd >= 0) close(state.stopFd);
    state.listenFd = state.stopFd = -1;
    return false;
  };
  state.listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (state.listenFd < 0) return fail("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(state.listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return fail("bind");
  }
  if (listen(state.listenFd, 64) != 0) return fail("listen");
  if (getsockname(state.listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return fail("getsockname");
  }
  state.stopFd = eventfd(0, EFD_CLOEXEC);
  if (state.stopFd < 0) return fail("eventfd");
  state.port = ntohs(address.sin_port);
  state.thread = std::thread([&state] { state.Run(); });
  return true;
}

void RawServer::Stop() {
  State& state = *state_;
  if (!state.thread.joinable()) return;
  uint64_t one = 1;
  ssize_t written = write(state.stopFd, &one, sizeof one);
  (void)written;
  state.thread.join();
  close(state.listenFd);
  close(state.stopFd);
  state.listenFd = state.stopFd = -1;
  state.port = 0;
}

bool RawServer::IsRunning() const { return state_->thread.joinable(); }

int RawServer::Port() const { return state_->port; }

std::string RawServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(state_->port) + std::string(path);
}

std::vector<std::string> RawServer::ReceivedRequests() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->received;
}

void RawServer::ClearReceivedRequests() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->received.clear();
}

int RawServer::AcceptedConnections() const { return state_->accepted.load(); }

}  // namespace quorvane::testing
