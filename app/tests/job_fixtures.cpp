#include "job_fixtures.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <system_error>

#include "quorvane/text/code_page.h"

namespace quorvane::apptest {

std::string PictureBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed * 2654435761u + 1u;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 23);
  }
  if (!bytes.empty()) bytes[0] = '\xFF';  // a JPEG starts with FF D8
  if (bytes.size() > 1) bytes[1] = '\xD8';
  return bytes;
}

std::string PictureElement(std::string_view address) {
  return "<i class=\"img\" style=\"background-image:url(" + std::string(address) + ")\"></i>";
}

std::string NotePage(const std::vector<std::string>& elements) {
  std::string page =
      "<html><head><meta charset=\"utf-8\"><title>笔记</title></head><body>\n"
      "<div class=\"note\"><p>今天的照片</p>\n";
  for (const std::string& element : elements)
    page += "<div class=\"slide\">" + element + "</div>\n";
  return page + "</div></body></html>\n";
}

std::string Utf8(const Text& text) { return TextToUtf8(text); }
Text FromUtf8(std::string_view utf8) { return TextFromUtf8(utf8); }

std::vector<std::string> FileNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::map<std::string, std::string> FileContents(const std::filesystem::path& folder) {
  std::map<std::string, std::string> contents;
  for (const std::string& name : FileNames(folder)) {
    std::FILE* file = std::fopen((folder / name).c_str(), "rb");
    if (file == nullptr) continue;
    std::string bytes;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    std::fclose(file);
    contents[name] = bytes;
  }
  return contents;
}

bool IsPictureName(const std::string& name) {
  static const std::regex shape("^[a-z]([A-Z][a-z]){7}\\.jpg$");
  return std::regex_match(name, shape);
}

Text RecordingWindow::ReadAddress() { return address_; }

void RecordingWindow::SetStatusPart(int32_t index, const Text& text) {
  std::lock_guard lock(mutex_);
  log_.push_back(std::to_string(index) + ":" + Utf8(text));
}

std::vector<std::string> RecordingWindow::StatusLog() {
  std::lock_guard lock(mutex_);
  return log_;
}

}  // namespace quorvane::apptest
