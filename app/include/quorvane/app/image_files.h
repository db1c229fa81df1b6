// The files service of the tool: where the program lives, the image folder beside it, and
// saving a picture so that a name is never taken twice and no partial file is ever visible.
// Paths are native (std::filesystem::path): on Linux the bytes the system uses, so a run
// directory with characters outside code page 936 works, and the folder name "小红书" is
// stored in UTF-8.
#pragma once

#include <filesystem>
#include <string_view>

namespace quorvane {

// The directory that holds the program file, from the running program's own path (on Linux
// /proc/self/exe), without a trailing separator. Empty when it cannot be found out.
std::filesystem::path RunDirectory();

// runDirectory / "小红书".
std::filesystem::path ImageFolder(const std::filesystem::path& runDirectory);

// Makes one directory level (the parent must exist). True when it was made; false when it
// exists already or cannot be made. Callers may ignore the result.
bool MakeDirectory(const std::filesystem::path& directory);

enum class SaveOutcome {
  kSaved,      // the file holds exactly the bytes
  kNameTaken,  // something already has that name; it was left untouched and nothing was written
  kFailed,     // nothing was written (folder missing, not writable, disk full, ...)
};

// Writes bytes to a new file at path. The bytes go to an unnamed (or, where the file system
// refuses unnamed files, a hidden temporary) file in the same folder first, which gets the name
// only once complete and only if nothing has it: an existing file is never replaced. If the
// process ends mid-write, no file of that name appears.
SaveOutcome SaveNewFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace quorvane
