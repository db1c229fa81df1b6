#include "quorvane/text/fatal_error.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quorvane/text/code_page.h"
#include "quorvane/text/fatal_allocator.h"

namespace quorvane {

namespace {

std::atomic<FatalReporter> installedReporter{nullptr};

// Set while this thread builds or shows a report, so that a failure inside
// the report (memory again, or a reporter that fails) ends the process at once
// instead of recursing.
thread_local bool reporting = false;
thread_local bool describingAllocationFailure = false;

void WriteToStandardError(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

void ReportToStandardError(const Text& report) {
  const std::string utf8 = TextToUtf8(report);
  // Without a working converter the code page 936 bytes are still better than nothing.
  WriteToStandardError(utf8.empty() ? report.View() : std::string_view(utf8));
}

[[noreturn]] void EndProcess() {
  std::fflush(nullptr);
  // _Exit rather than exit: other threads may still be running, and static
  // destructors must not run under them.
  std::_Exit(-1);
}

[[noreturn]] void FailInsideReport() {
  WriteToStandardError("fatal error while reporting a fatal error\n");
  EndProcess();
}

template <typename Integer>
Text DecimalText(Integer value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return Text(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

}  // namespace

Text FatalReportText(int32_t code, const Text& message) {
  static const Text kHeading = TextFromUtf8(u8"运行时出错!");
  static const Text kCodeLabel = TextFromUtf8(u8"错误代码：");
  static const Text kMessageLabel = TextFromUtf8(u8"错误信息：");
  const Text lineBreak("\r\n");
  Text report = ConcatText(kHeading, lineBreak, lineBreak);
  if (code != 0) report.Append(ConcatText(kCodeLabel, DecimalText(code), lineBreak, lineBreak));
  if (!message.Empty()) report.Append(ConcatText(kMessageLabel, message, lineBreak));
  return report;
}

FatalReporter SetFatalReporter(FatalReporter reporter) {
  return installedReporter.exchange(reporter);
}

void FatalError(int32_t code, const Text& message) {
  if (reporting) FailInsideReport();
  reporting = true;
  // Threads that fail together each report on their own, as separate boxes
  // would; serialising them could deadlock a reporter that needs another
  // thread (the window's) while that thread fails too.
  const Text report = FatalReportText(code, message);
  const FatalReporter reporter = installedReporter.load();
  (reporter != nullptr ? reporter : ReportToStandardError)(report);
  EndProcess();
}

void FatalAllocationFailure(std::size_t bytes) {
  if (reporting || describingAllocationFailure) FailInsideReport();
  describingAllocationFailure = true;
  static const Text kTemplate = TextFromUtf8(u8"分配 %d 字节内存失败!");
  FatalError(0, ReplaceText(kTemplate, Text("%d"),
                            DecimalText(static_cast<unsigned long long>(bytes)), true));
}

}  // namespace quorvane
