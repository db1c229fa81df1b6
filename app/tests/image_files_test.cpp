// The files service: run directory, image folder, and saving new files without ever replacing
// one or leaving a partial file behind, by both of its ways.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "image_files_linux.h"
#include "job_fixtures.h"
#include "quorvane/app/image_files.h"
#include "quorvane/testing/loopback.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using apptest::FileContents;
using apptest::FileNames;
using apptest::PictureBytes;

TEST(RunDirectoryTest, IsTheFolderOfTheRunningProgram) {
  const fs::path directory = RunDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_TRUE(fs::is_directory(directory));
  EXPECT_TRUE(fs::exists(directory / "app_logic_tests"));
  EXPECT_NE(directory.string().back(), '/');
}

TEST(ImageFolderTest, IsOneLevelNamedInUtf8) {
  testing::TempDirectory temp("quorvane-files");
  // A run directory with characters outside code page 936 stays as it is.
  const fs::path run = fs::path(temp.Path()) / "Ærø ✓ 程序";
  ASSERT_TRUE(MakeDirectory(run));
  const fs::path folder = ImageFolder(run);
  EXPECT_EQ(folder.filename().string(), "\xE5\xB0\x8F\xE7\xBA\xA2\xE4\xB9\xA6");  // 小红书
  EXPECT_TRUE(MakeDirectory(folder));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_FALSE(MakeDirectory(folder));                      // already there
  EXPECT_FALSE(MakeDirectory(run / "missing" / "deeper"));  // one level only
  EXPECT_FALSE(fs::exists(run / "missing"));
  EXPECT_FALSE(MakeDirectory(fs::path()));
}

using SaveFunction = SaveOutcome (*)(const fs::path&, std::string_view);

SaveOutcome SaveUnnamed(const fs::path& path, std::string_view bytes) {
  return linux_files::SaveThroughUnnamedFile(path, bytes).value_or(SaveOutcome::kFailed);
}

struct SaveWay {
  const char* label;
  SaveFunction save;
};
const SaveWay kSaveWays[] = {
    {"chosen way", &SaveNewFile},
    {"unnamed file", &SaveUnnamed},
    {"named temporary", &linux_files::SaveThroughNamedTemporary},
};

class SaveNewFileTest : public ::testing::Test {
 protected:
  testing::TempDirectory temp_{"quorvane-save"};
  const fs::path folder_ = temp_.Path();
};

TEST_F(SaveNewFileTest, WritesExactlyTheBytes) {
  const std::string rows[] = {"", std::string(1, '\0'), "x", PictureBytes(3 << 20, 9)};
  for (const SaveWay& way : kSaveWays) {
    SCOPED_TRACE(way.label);
    int n = 0;
    for (const std::string& bytes : rows) {
      SCOPED_TRACE(bytes.size());
      const fs::path path = folder_ / (std::string(way.label) + std::to_string(n++) + ".jpg");
      ASSERT_EQ(way.save(path, bytes), SaveOutcome::kSaved);
      EXPECT_EQ(testing::ReadWholeFile(path.string()), bytes);
      struct stat info {};
      ASSERT_EQ(::stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0600, 0600u);  // readable and writable by its owner
    }
  }
  // Nothing but the saved files: no temporary left beside them.
  EXPECT_EQ(FileNames(folder_).size(), 3u * 4u);
}

TEST_F(SaveNewFileTest, LeavesATakenNameAlone) {
  for (const SaveWay& way : kSaveWays) {
    SCOPED_TRACE(way.label);
    const fs::path path = folder_ / (std::string(way.label) + ".jpg");
    ASSERT_TRUE(testing::WriteWholeFile(path.string(), "older"));
    EXPECT_EQ(way.save(path, "newer"), SaveOutcome::kNameTaken);
    EXPECT_EQ(testing::ReadWholeFile(path.string()), "older");
    // A directory of that name counts as taken as well.
    const fs::path directory = folder_ / (std::string(way.label) + "-dir.jpg");
    ASSERT_TRUE(MakeDirectory(directory));
    EXPECT_EQ(way.save(directory, "newer"), SaveOutcome::kNameTaken);
  }
  EXPECT_EQ(FileNames(folder_).size(), 6u);
}

TEST_F(SaveNewFileTest, FailsWithoutAFolderAndLeavesNothing) {
  for (const SaveWay& way : kSaveWays) {
    SCOPED_TRACE(way.label);
    EXPECT_EQ(way.save(folder_ / "missing" / "a.jpg", "x"), SaveOutcome::kFailed);
  }
  EXPECT_EQ(SaveNewFile(fs::path(), "x"), SaveOutcome::kFailed);
  EXPECT_EQ(SaveNewFile(folder_ / "", "x"), SaveOutcome::kFailed);
  EXPECT_TRUE(FileNames(folder_).empty());
}

// Threads racing for one name: exactly one wins, the others are told the name is taken.
TEST_F(SaveNewFileTest, OneWinnerWhenThreadsRaceForAName) {
  for (const SaveWay& way : kSaveWays) {
    SCOPED_TRACE(way.label);
    const fs::path path = folder_ / (std::string(way.label) + ".jpg");
    std::atomic<int> saved = 0, taken = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([&, i] {
        const SaveOutcome outcome = way.save(path, PictureBytes(100000, i));
        if (outcome == SaveOutcome::kSaved) ++saved;
        if (outcome == SaveOutcome::kNameTaken) ++taken;
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(taken, 3);
    const std::string content = testing::ReadWholeFile(path.string());
    bool whole = false;
    for (int i = 0; i < 4; ++i) whole = whole || content == PictureBytes(100000, i);
    EXPECT_TRUE(whole);
  }
  EXPECT_EQ(FileNames(folder_).size(), 3u);
}

// A process that ends mid-write leaves no file behind when writing through an unnamed file.
TEST_F(SaveNewFileTest, ProcessEndingMidWriteLeavesNothing) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A large save, killed while it runs.
    ::close(ready[0]);
    const std::string bytes(256u << 20, 'x');
    const char go = 1;
    (void)!::write(ready[1], &go, 1);
    SaveNewFile(fs::path(folder_) / "big.jpg", bytes);
    ::_exit(0);
  }
  ::close(ready[1]);
  char go;
  ASSERT_EQ(::read(ready[0], &go, 1), 1);
  ::close(ready[0]);
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  // Killed before or after it finished: either no file or the whole file, never a part.
  const std::vector<std::string> names = FileNames(folder_);
  if (!names.empty()) {
    EXPECT_EQ(names, std::vector<std::string>{"big.jpg"});
    EXPECT_EQ(fs::file_size(folder_ / "big.jpg"), 256u << 20);
  }
}

}  // namespace
}  // namespace quorvane
