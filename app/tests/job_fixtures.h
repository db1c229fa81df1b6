// Shared pieces of the tool's tests: note pages with picture elements, picture bytes, a window
// that records what the job shows, and looks into the image folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/app/job_window.h"
#include "quorvane/text/text.h"

namespace quorvane::apptest {

// size bytes, different for every seed, including zero bytes and bytes above 0x7F.
std::string PictureBytes(size_t size, uint32_t seed);

// One picture element as the note pages carry it, for an address such as "//host/p/a.jpg".
std::string PictureElement(std::string_view address);
// An HTML note page holding the elements between other markup.
std::string NotePage(const std::vector<std::string>& elements);

// Texts in UTF-8 for readable assertions.
std::string Utf8(const Text& text);
Text FromUtf8(std::string_view utf8);

// The names of the regular files in folder, sorted; empty when it does not exist.
std::vector<std::string> FileNames(const std::filesystem::path& folder);
// name -> content of every regular file in folder.
std::map<std::string, std::string> FileContents(const std::filesystem::path& folder);
// A saved picture's name: lower, upper, ..., lower (15 letters) + ".jpg".
bool IsPictureName(const std::string& name);

// A job window with a fixed address that records every status text set, in order.
class RecordingWindow : public JobWindow {
 public:
  explicit RecordingWindow(std::string address) : address_(FromUtf8(address)) {}
  Text ReadAddress() override;
  void SetStatusPart(int32_t index, const Text& text) override;
  // Status texts in UTF-8 as "<index>:<text>", in order.
  std::vector<std::string> StatusLog();

 private:
  const Text address_;
  std::mutex mutex_;
  std::vector<std::string> log_;
};

}  // namespace quorvane::apptest
