#include "quorvane/app/fatal_message_box.h"

#include <cstdio>
#include <string>
#include <utility>

#include <QMessageBox>

#include "quorvane/app/qt_text.h"
#include "quorvane/text/code_page.h"
#include "quorvane/text/fatal_error.h"

namespace quorvane {
namespace {

// Written once on the UI thread before any worker starts, then only read.
std::shared_ptr<UiThreadCalls>& ReportCalls() {
  static std::shared_ptr<UiThreadCalls> calls;
  return calls;
}

}  // namespace

void InstallFatalMessageBox(std::shared_ptr<UiThreadCalls> uiCalls) {
  ReportCalls() = std::move(uiCalls);
  SetFatalReporter(&ShowFatalReport);
}

void ShowFatalReport(const Text& report) {
  static const Text caption = TextFromUtf8("错误");
  const std::shared_ptr<UiThreadCalls>& calls = ReportCalls();
  const bool shown = calls != nullptr && calls->Run([&] {
    QMessageBox::critical(nullptr, ToQString(caption), ToQString(report));
  });
  if (!shown) {
    const std::string utf8 = TextToUtf8(report) + "\n";
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  }
}

}  // namespace quorvane
