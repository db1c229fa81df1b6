// A child process of the test process: started with fork/exec, killed by the kernel when the
// starting thread ends (PR_SET_PDEATHSIG), stopped with TERM then KILL. Also running a command
// to its end with a time bound. Internal to the test-server library.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <string>
#include <vector>

namespace quorvane::testing::internal {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();  // Stop()
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts program with argv (argv[0] included), stdin from /dev/null, stdout and stderr
  // appended to outputFile. False with *error set when fork fails; an exec failure shows as the
  // child ending with status 127 and a line in outputFile.
  bool Start(const std::string& program, const std::vector<std::string>& argv,
             const std::string& outputFile, std::string* error);
  // True while the child runs; reaps it when it has ended.
  bool IsRunning();
  // TERM, up to `grace` for it to end, then KILL; waits for it. Safe when not running.
  void Stop(std::chrono::milliseconds grace = std::chrono::seconds(5));
  // A description of how the child ended ("exit status 1", "signal 9"), empty while running.
  std::string EndDescription() const { return end_; }

 private:
  pid_t pid_ = -1;
  std::string end_;
};

// Runs program with argv to its end (at most `limit`, then KILL), output to outputFile.
// True when it exited with status 0; otherwise false with *error describing it and its output.
bool RunCommand(const std::string& program, const std::vector<std::string>& argv,
                const std::string& outputFile, std::chrono::milliseconds limit, std::string* error);

}  // namespace quorvane::testing::internal
