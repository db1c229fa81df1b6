// The fatal report as the window shows it: a modal critical message box captioned "错误" with
// the report text, always on the UI thread (a failing worker waits for it). FatalError ends
// the process with exit code -1 once the box is closed.
#pragma once

#include <memory>

#include "quorvane/app/ui_thread_calls.h"
#include "quorvane/text/text.h"

namespace quorvane {

// Makes ShowFatalReport FatalError's reporter, showing its box through uiCalls. Call on the UI
// thread before any worker starts.
void InstallFatalMessageBox(std::shared_ptr<UiThreadCalls> uiCalls);

// The reporter: shows the box and returns when it is closed. When the UI thread can no longer
// take calls (the window is gone), writes the report to standard error instead.
void ShowFatalReport(const Text& report);

}  // namespace quorvane
