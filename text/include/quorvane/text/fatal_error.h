// FatalError: the one report for conditions the system does not handle (an
// array member read out of range, memory exhausted, a remainder by zero).
//
// The report text, in code page 936 with CR LF line breaks, is
//   "运行时出错!" CR LF CR LF
//   "错误代码：" code CR LF CR LF          (only when code != 0)
//   "错误信息：" message CR LF             (only when message is not empty)
// It is handed to the installed reporter, which may block (a modal box), and
// then the process ends with exit code -1.
#pragma once

#include <cstdint>

#include "quorvane/text/text.h"

namespace quorvane {

// Shows or records a report; called on the failing thread. Must not return
// control to the failing operation (FatalError exits right after it).
using FatalReporter = void (*)(const Text& report);

// Builds the report text described above.
Text FatalReportText(int32_t code, const Text& message);

// Installs a reporter; null restores the default, which writes the report
// (converted to UTF-8) to standard error. Returns the previous reporter.
FatalReporter SetFatalReporter(FatalReporter reporter);

// Reports and ends the process with exit code -1 (status 255) at once:
// static destructors do not run, since other threads may still use them.
// A failure inside the reporter ends the process without a second report.
// Never returns.
[[noreturn]] void FatalError(int32_t code, const Text& message);

}  // namespace quorvane
