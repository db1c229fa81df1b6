// The real program under a virtual X display: it opens its window centred, takes an address
// typed with xdotool, saves the note page's pictures beside itself when 确定 is clicked, and
// ends when Esc is pressed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "job_fixtures.h"
#include "quorvane/app/image_files.h"
#include "quorvane/testing/test_servers.h"

extern char** environ;

namespace quorvane {
namespace {

namespace qt = quorvane::testing;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

qt::NginxEnvironment* const nginx =
    qt::AddEnvironment(new qt::NginxEnvironment([](qt::NginxServer& server) {
      server.WriteFile("p/1", apptest::PictureBytes(40000, 21));
      server.WriteFile("p/2", apptest::PictureBytes(90000, 22));
      server.WriteFile("p/3", apptest::PictureBytes(5000, 23));
      return qt::NginxConfig{};
    }));

// The environment with these variables replaced or added.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& settings) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable(*entry);
    bool replaced = false;
    for (const std::string& setting : settings) {
      replaced = replaced || variable.substr(0, variable.find('=') + 1) ==
                                 setting.substr(0, setting.find('=') + 1);
    }
    if (!replaced) result.push_back(variable);
  }
  result.insert(result.end(), settings.begin(), settings.end());
  return result;
}

// A child process, killed and reaped when the object goes.
class Child {
 public:
  // stdoutFd: where the child's standard output goes (-1: inherited).
  bool Start(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             const std::string& directory = "", int stdoutFd = -1, int keepFd = -1) {
    std::vector<char*> argv, envp;
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    for (const std::string& variable : environment)
      envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    (void)keepFd;  // inherited as it is: the caller made it without close-on-exec
    const int failed = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) pid_ = -1;
    return pid_ > 0;
  }

  // The exit status once the child has ended within limit; -1 while it still runs.
  int WaitForExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (pid_ > 0) {
      int status = 0;
      const pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = -1;
};

// Runs a command to its end (at most 30 s) and returns its standard output; ok false on failure.
std::string RunCommand(const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment, bool* ok) {
  int out[2];
  *ok = false;
  if (::pipe2(out, O_CLOEXEC) != 0) return {};
  Child child;
  const bool started = child.Start(arguments, environment, "", out[1]);
  ::close(out[1]);
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  for (;;) {
    pollfd ready{out[0], POLLIN, 0};
    if (!started || std::chrono::steady_clock::now() > deadline) break;
    if (::poll(&ready, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t got = ::read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    output.append(buffer, static_cast<size_t>(got));
  }
  ::close(out[0]);
  *ok = started && child.WaitForExit(5s) == 0;
  return output;
}

// Xvfb on a display number it picks itself (-displayfd), so parallel runs never clash.
class VirtualDisplay {
 public:
  bool Start() {
    int numbers[2];
    if (::pipe(numbers) != 0) return false;  // the writing end must reach Xvfb
    ::fcntl(numbers[0], F_SETFD, FD_CLOEXEC);
    const bool started = xvfb_.Start({"Xvfb", "-displayfd", std::to_string(numbers[1]), "-screen",
                                      "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
                                     EnvironmentWith({}), "", -1, numbers[1]);
    ::close(numbers[1]);
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (started && std::chrono::steady_clock::now() < deadline) {
      pollfd ready{numbers[0], POLLIN, 0};
      if (::poll(&ready, 1, 100) <= 0) continue;
      char c;
      if (::read(numbers[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    ::close(numbers[0]);
    if (number.empty()) return false;
    display_ = ":" + number;
    return true;
  }
  const std::string& Name() const { return display_; }

 private:
  Child xvfb_;
  std::string display_;
};

TEST(ProgramTest, SavesThePicturesOfATypedAddressAndEndsOnEscape) {
  const std::string host = "//127.0.0.1:" + std::to_string(nginx->server().HttpPort());
  ASSERT_TRUE(nginx->server().WriteFile(
      "note.html",
      apptest::NotePage({apptest::PictureElement(host + "/p/1.jpg"),
                         apptest::PictureElement(host + "/p/2.jpg?imageView2/2/w/1080"),
                         apptest::PictureElement(host + "/p/3.jpg")})));

  // The program beside its own picture folder, in a directory of the test's own.
  qt::TempDirectory runDirectory("quorvane-program");
  const fs::path program = fs::path(runDirectory.Path()) / "quorvane";
  ASSERT_TRUE(fs::copy_file(QUORVANE_PROGRAM, program));
  const fs::path folder = ImageFolder(runDirectory.Path());

  VirtualDisplay display;
  ASSERT_TRUE(display.Start()) << "Xvfb did not start";
  const std::vector<std::string> environment =
      EnvironmentWith({"DISPLAY=" + display.Name(), "QT_QPA_PLATFORM=xcb"});

  Child quorvane;
  ASSERT_TRUE(quorvane.Start({program.string()}, environment, "/"));
  bool ok = false;
  const std::string found =
      RunCommand({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Quorvane v1\\.0 by"},
                 environment, &ok);
  ASSERT_TRUE(ok) << "the window did not appear";
  const std::string window = found.substr(0, found.find('\n'));

  // The caption, and the place: centred on the 1024 x 768 screen (no window manager, so the
  // outer frame is the client area).
  EXPECT_EQ(RunCommand({"xdotool", "getwindowname", window}, environment, &ok),
            "Quorvane v1.0 by\xEF\xBC\x9ATessavel\n");
  const std::string geometry =
      RunCommand({"xdotool", "getwindowgeometry", window}, environment, &ok);
  EXPECT_NE(geometry.find("Position: 260,307"), std::string::npos) << geometry;
  EXPECT_NE(geometry.find("Geometry: 497x118"), std::string::npos) << geometry;
  // Made by the created handler.
  EXPECT_TRUE(fs::is_directory(folder));

  // Type into the edit box, then a real click on 确定.
  RunCommand({"xdotool", "mousemove", "--window", window, "100", "40", "click", "1"}, environment,
             &ok);
  ASSERT_TRUE(ok);
  RunCommand({"xdotool", "type", "--delay", "5", nginx->server().HttpUrl("/note.html")},
             environment, &ok);
  ASSERT_TRUE(ok);
  RunCommand({"xdotool", "mousemove", "--window", window, "447", "40", "click", "1"}, environment,
             &ok);
  ASSERT_TRUE(ok);

  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (apptest::FileNames(folder).size() < 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  std::multiset<std::string> saved;
  for (const auto& [name, bytes] : apptest::FileContents(folder)) {
    EXPECT_TRUE(apptest::IsPictureName(name)) << name;
    saved.insert(bytes);
  }
  EXPECT_EQ(saved, (std::multiset<std::string>{apptest::PictureBytes(40000, 21),
                                               apptest::PictureBytes(90000, 22),
                                               apptest::PictureBytes(5000, 23)}));

  RunCommand({"xdotool", "key", "Escape"}, environment, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(quorvane.WaitForExit(10s), 0) << "the program did not end on Esc";
}

}  // namespace
}  // namespace quorvane
