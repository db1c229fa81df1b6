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
      server.WriteFile("slow/big", apptest::PictureBytes(2 << 20, 24));
      return qt::NginxConfig{.serverDirectives = "location /slow/ { limit_rate 256k; }"};
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

// The program copied into a directory of the test's own, so its picture folder is there too,
// run on a fresh virtual display.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::copy_file(QUORVANE_PROGRAM, program_));
    ASSERT_TRUE(display_.Start()) << "Xvfb did not start";
    environment_ = EnvironmentWith({"DISPLAY=" + display_.Name(), "QT_QPA_PLATFORM=xcb"});
    ASSERT_TRUE(quorvane_.Start({program_.string()}, environment_, "/"));
    bool ok = false;
    const std::string found = RunCommand(
        {"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Quorvane v1\\.0 by"},
        environment_, &ok);
    ASSERT_TRUE(ok) << "the window did not appear";
    window_ = found.substr(0, found.find('\n'));
  }

  std::string XDoTool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "xdotool");
    bool ok = false;
    std::string output = RunCommand(arguments, environment_, &ok);
    EXPECT_TRUE(ok) << arguments[1];
    return output;
  }
  // A real click at a point of the window's client area.
  void Click(int x, int y) {
    XDoTool({"mousemove", "--window", window_, std::to_string(x), std::to_string(y), "click", "1"});
  }
  void TypeAddressAndClickOk(const std::string& address) {
    Click(100, 40);  // the edit box
    XDoTool({"type", "--delay", "5", address});
    Click(447, 40);  // 确定
  }

  qt::TempDirectory runDirectory_{"quorvane-program"};
  const fs::path program_ = fs::path(runDirectory_.Path()) / "quorvane";
  const fs::path folder_ = ImageFolder(runDirectory_.Path());
  VirtualDisplay display_;
  std::vector<std::string> environment_;
  Child quorvane_;
  std::string window_;
};

TEST_F(ProgramTest, SavesThePicturesOfATypedAddressAndEndsOnEscape) {
  const std::string host = "//127.0.0.1:" + std::to_string(nginx->server().HttpPort());
  ASSERT_TRUE(nginx->server().WriteFile(
      "note.html",
      apptest::NotePage({apptest::PictureElement(host + "/p/1.jpg"),
                         apptest::PictureElement(host + "/p/2.jpg?imageView2/2/w/1080"),
                         apptest::PictureElement(host + "/p/3.jpg")})));

  // The caption, and the place: centred on the 1024 x 768 screen (no window manager, so the
  // outer frame is the client area).
  EXPECT_EQ(XDoTool({"getwindowname", window_}), "Quorvane v1.0 by\xEF\xBC\x9ATessavel\n");
  const std::string geometry = XDoTool({"getwindowgeometry", window_});
  EXPECT_NE(geometry.find("Position: 260,307"), std::string::npos) << geometry;
  EXPECT_NE(geometry.find("Geometry: 497x118"), std::string::npos) << geometry;
  // Made by the created handler.
  EXPECT_TRUE(fs::is_directory(folder_));

  TypeAddressAndClickOk(nginx->server().HttpUrl("/note.html"));
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (apptest::FileNames(folder_).size() < 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  std::multiset<std::string> saved;
  for (const auto& [name, bytes] : apptest::FileContents(folder_)) {
    EXPECT_TRUE(apptest::IsPictureName(name)) << name;
    saved.insert(bytes);
  }
  EXPECT_EQ(saved, (std::multiset<std::string>{apptest::PictureBytes(40000, 21),
                                               apptest::PictureBytes(90000, 22),
                                               apptest::PictureBytes(5000, 23)}));

  XDoTool({"key", "Escape"});
  EXPECT_EQ(quorvane_.WaitForExit(10s), 0) << "the program did not end on Esc";
}

// Closing the window while a picture is still arriving ends the program at once and leaves
// no file behind, neither the picture nor a temporary one.
TEST_F(ProgramTest, EndsAtOnceWhenClosedMidDownload) {
  const std::string host = "//127.0.0.1:" + std::to_string(nginx->server().HttpPort());
  ASSERT_TRUE(nginx->server().WriteFile(
      "slow.html", apptest::NotePage({apptest::PictureElement(host + "/slow/big.jpg")})));
  nginx->server().TakeReceivedRequests(0, 50ms);
  TypeAddressAndClickOk(nginx->server().HttpUrl("/slow.html"));
  // The page has been fetched; the picture (2 MiB at 256 KiB/s) is on its way.
  const auto requests = nginx->server().TakeReceivedRequests(1, 10s);
  ASSERT_FALSE(requests.empty());
  std::this_thread::sleep_for(500ms);

  const auto closing = std::chrono::steady_clock::now();
  XDoTool({"key", "Escape"});
  EXPECT_EQ(quorvane_.WaitForExit(10s), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - closing, 5s);
  EXPECT_TRUE(apptest::FileNames(folder_).empty());
}

}  // namespace
}  // namespace quorvane
