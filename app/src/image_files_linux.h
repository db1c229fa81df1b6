// The two ways the Linux files service saves a new file, for tests that force the second.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "quorvane/app/image_files.h"

namespace quorvane::linux_files {

// Through an unnamed O_TMPFILE file linked in when complete. std::nullopt when the file
// system refuses unnamed files (the caller then takes the named way).
std::optional<SaveOutcome> SaveThroughUnnamedFile(const std::filesystem::path& path,
                                                  std::string_view bytes);

// Through a hidden ".<name>.XXXXXX" file renamed without replacing when complete.
SaveOutcome SaveThroughNamedTemporary(const std::filesystem::path& path, std::string_view bytes);

}  // namespace quorvane::linux_files
