#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "quorvane/testing/loopback.h"

namespace quorvane::testing::internal {
namespace {

std::string DescribeStatus(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

void WriteAll(int fd, const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    ssize_t written = write(fd, text, left);
    if (written <= 0) return;
    text += written;
    left -= static_cast<size_t>(written);
  }
}

}  // namespace

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& argv,
                         const std::string& outputFile, std::string* error) {
  Stop();
  end_.clear();
  // Everything the child needs is made before fork: after it only async-signal-safe calls.
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    if (error) *error = "fork failed: " + std::string(std::strerror(errno));
    return false;
  }
  if (pid == 0) {
    // The kernel kills the child when the thread that started it ends, so a crashed or killed
    // test never leaves a server behind. Close the race with a parent that already ended.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    // A fresh process group: signals aimed at the test's terminal group do not reach it.
    setpgid(0, 0);
    int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (input >= 0) dup2(input, STDIN_FILENO);
    if (output >= 0) {
      dup2(output, STDOUT_FILENO);
      dup2(output, STDERR_FILENO);
    }
    // Signal dispositions set to ignore survive exec; servers expect the defaults.
    signal(SIGPIPE, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(program.c_str(), args.data());
    WriteAll(STDERR_FILENO, "exec failed: ");
    WriteAll(STDERR_FILENO, program.c_str());
    WriteAll(STDERR_FILENO, "\n");
    _exit(127);
  }
  pid_ = pid;
  return true;
}

bool ChildProcess::IsRunning() {
  if (pid_ <= 0) return false;
  int status = 0;
  pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == 0) return true;
  if (done == pid_) end_ = DescribeStatus(status);
  pid_ = -1;
  return false;
}

void ChildProcess::Stop(std::chrono::milliseconds grace) {
  if (!IsRunning()) return;
  kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + grace;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!IsRunning()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  end_ = DescribeStatus(status);
  pid_ = -1;
}

bool RunCommand(const std::string& program, const std::vector<std::string>& argv,
                const std::string& outputFile, std::chrono::milliseconds limit,
                std::string* error) {
  ChildProcess child;
  if (!child.Start(program, argv, outputFile, error)) return false;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (child.IsRunning()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      child.Stop(std::chrono::milliseconds(0));
      if (error) *error = program + " did not finish in time: " + ReadWholeFile(outputFile);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (child.EndDescription() == "exit status 0") return true;
  if (error) {
    *error = program + " ended with " + child.EndDescription() + ": " + ReadWholeFile(outputFile);
  }
  return false;
}

}  // namespace quorvane::testing::internal
