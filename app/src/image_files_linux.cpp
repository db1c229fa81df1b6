// Linux files service: /proc/self/exe for the run directory, mkdir for the folder, and
// O_TMPFILE + linkat for new files (a link fails with EEXIST instead of replacing, and an
// unnamed file vanishes by itself when the process ends mid-write).
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "image_files_linux.h"
#include "quorvane/app/image_files.h"

namespace quorvane {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

std::filesystem::path FolderOf(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace

std::filesystem::path RunDirectory() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return program.parent_path();
}

std::filesystem::path ImageFolder(const std::filesystem::path& runDirectory) {
  return runDirectory / std::filesystem::path(u8"小红书");
}

bool MakeDirectory(const std::filesystem::path& directory) {
  return !directory.empty() && ::mkdir(directory.c_str(), 0777) == 0;
}

namespace linux_files {

std::optional<SaveOutcome> SaveThroughUnnamedFile(const std::filesystem::path& path,
                                                  std::string_view bytes) {
  const int fd = ::open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) {
    // Kernels or file systems without unnamed files answer with one of these.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return std::nullopt;
    return SaveOutcome::kFailed;
  }
  SaveOutcome outcome = SaveOutcome::kFailed;
  if (WriteAll(fd, bytes)) {
    const std::string procLink = "/proc/self/fd/" + std::to_string(fd);
    int linked = ::linkat(AT_FDCWD, procLink.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    if (linked != 0 && errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0) {
      // No /proc: link the descriptor itself (needs CAP_DAC_READ_SEARCH).
      linked = ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
    }
    if (linked == 0) {
      outcome = SaveOutcome::kSaved;
    } else if (errno == EEXIST) {
      outcome = SaveOutcome::kNameTaken;
    }
  }
  ::close(fd);  // an unlinked unnamed file is freed here
  return outcome;
}

SaveOutcome SaveThroughNamedTemporary(const std::filesystem::path& path, std::string_view bytes) {
  std::string temporary = (FolderOf(path) / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return SaveOutcome::kFailed;
  const bool written = WriteAll(fd, bytes) && ::fchmod(fd, 0644) == 0;
  const bool closed = ::close(fd) == 0;
  SaveOutcome outcome = SaveOutcome::kFailed;
  bool renamed = false;
  if (written && closed) {
    bool linkedInstead = false;
    int moved = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
    if (moved != 0 && errno == EINVAL) {
      // A file system without the no-replace rename: a hard link also refuses a taken name.
      moved = ::link(temporary.c_str(), path.c_str());
      linkedInstead = true;
    }
    if (moved == 0) {
      outcome = SaveOutcome::kSaved;
    } else if (errno == EEXIST) {
      outcome = SaveOutcome::kNameTaken;
    }
    renamed = moved == 0 && !linkedInstead;
  }
  if (!renamed) ::unlink(temporary.c_str());
  return outcome;
}

}  // namespace linux_files

SaveOutcome SaveNewFile(const std::filesystem::path& path, std::string_view bytes) {
  if (path.empty() || !path.has_filename()) return SaveOutcome::kFailed;
  if (auto outcome = linux_files::SaveThroughUnnamedFile(path, bytes)) return *outcome;
  return linux_files::SaveThroughNamedTemporary(path, bytes);
}

}  // namespace quorvane
