#include "quorvane/testing/tiny_proxy.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "child_process.h"
#include "quorvane/testing/loopback.h"

namespace quorvane::testing {
namespace {

constexpr const char* kTinyproxyProgram = "/usr/bin/tinyproxy";
constexpr int kStartAttempts = 5;
constexpr auto kReadyLimit = std::chrono::seconds(10);

// tinyproxy's configuration grammar accepts only these characters in BasicAuth's two words.
bool IsBasicAuthWord(const std::string& word) {
  if (word.empty()) return false;
  for (char c : word) {
    bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '.' || c == '_';
    if (!allowed) return false;
  }
  return true;
}

}  // namespace

struct TinyProxy::State {
  TempDirectory directory{"quorvane-tinyproxy"};
  internal::ChildProcess process;
  int port = 0;
  mutable std::mutex logMutex;
  size_t logOffset = 0;

  std::string PathOf(std::string_view name) const {
    return directory.Path() + "/" + std::string(name);
  }
};

TinyProxy::TinyProxy() : state_(std::make_unique<State>()) {}

TinyProxy::~TinyProxy() { Stop(); }

bool TinyProxy::Start(std::string* error, std::string basicUser, std::string basicPassword) {
  Stop();
  State& state = *state_;
  auto fail = [&](const std::string& message) {
    if (error) *error = "tinyproxy test server: " + message;
    return false;
  };
  if (state.directory.Path().empty()) return fail("could not make a temporary directory");
  if (access(kTinyproxyProgram, X_OK) != 0) {
    return fail(std::string(kTinyproxyProgram) + " is missing (install the tinyproxy package)");
  }
  const bool withCredentials = !basicUser.empty() && !basicPassword.empty();
  if (withCredentials && (!IsBasicAuthWord(basicUser) || !IsBasicAuthWord(basicPassword))) {
    return fail("tinyproxy accepts only letters, digits, '-', '.' and '_' in BasicAuth");
  }
  const std::string configFile = state.PathOf("tinyproxy.conf");
  const std::string logFile = state.PathOf("tinyproxy.log");
  const std::string pidFile = state.PathOf("tinyproxy.pid");
  const std::string outputFile = state.PathOf("output.log");
  std::string lastFailure;
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    const int port = FreeLoopbackPort();
    if (port == 0) return fail("no free loopback port");
    // No ConnectPort line: CONNECT is allowed to every port.
    std::string config = "Port " + std::to_string(port) +
                         "\n"
                         "Listen 127.0.0.1\n"
                         "Timeout 60\n"
                         "MaxClients 100\n"
                         "LogFile \"" +
                         logFile +
                         "\"\n"
                         "LogLevel Connect\n"
                         "PidFile \"" +
                         pidFile +
                         "\"\n"
                         "Allow 127.0.0.1\n"
                         "Allow ::1\n";
    if (withCredentials) config += "BasicAuth " + basicUser + " " + basicPassword + "\n";
    if (!WriteWholeFile(configFile, config)) return fail("could not write " + configFile);
    std::error_code ignored;
    std::filesystem::remove(pidFile, ignored);
    const size_t outputStart = ReadWholeFile(outputFile).size();
    const size_t logStart = ReadWholeFile(logFile).size();
    {
      std::lock_guard<std::mutex> lock(state.logMutex);
      state.logOffset = logStart;
    }
    std::string startError;
    if (!state.process.Start(kTinyproxyProgram, {"tinyproxy", "-d", "-c", configFile}, outputFile,
                             &startError)) {
      return fail(startError);
    }
    // Ready once the pid file exists (written after the port is bound, so the port is ours)
    // and the port accepts connections.
    const auto deadline = std::chrono::steady_clock::now() + kReadyLimit;
    bool ready = false;
    while (std::chrono::steady_clock::now() < deadline && state.process.IsRunning()) {
      if (!ReadWholeFile(pidFile).empty() &&
          WaitForLoopbackPort(port, std::chrono::milliseconds(0)) && state.process.IsRunning()) {
        ready = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ready) {
      state.port = port;
      return true;
    }
    const bool ended = !state.process.IsRunning();
    state.process.Stop();
    std::string output = ReadWholeFile(outputFile);
    output = output.substr(std::min(output.size(), outputStart));
    std::string log = ReadWholeFile(logFile);
    log = log.substr(std::min(log.size(), logStart));
    lastFailure = (ended ? "tinyproxy ended (" + state.process.EndDescription() + ")"
                         : std::string("tinyproxy did not accept connections within 10 s")) +
                  "; output:\n" + output + "log:\n" + log;
    const bool portTaken = output.find("in use") != std::string::npos ||
                           log.find("in use") != std::string::npos ||
                           output.find("listening socket") != std::string::npos ||
                           log.find("listening socket") != std::string::npos;
    if (!portTaken) break;
  }
  return fail(lastFailure);
}

void TinyProxy::Stop() {
  state_->process.Stop();
  state_->port = 0;
}

bool TinyProxy::IsRunning() const { return state_->process.IsRunning(); }

int TinyProxy::Port() const { return state_->port; }

std::string TinyProxy::Address() const { return "127.0.0.1:" + std::to_string(state_->port); }

std::vector<std::string> TinyProxy::LogLines() const {
  std::string log = ReadWholeFile(state_->PathOf("tinyproxy.log"));
  {
    std::lock_guard<std::mutex> lock(state_->logMutex);
    log = log.substr(std::min(log.size(), state_->logOffset));
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    lines.push_back(log.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

void TinyProxy::ClearLog() {
  const size_t size = ReadWholeFile(state_->PathOf("tinyproxy.log")).size();
  std::lock_guard<std::mutex> lock(state_->logMutex);
  state_->logOffset = size;
}

}  // namespace quorvane::testing
