// The program: one window; reads no command line, no environment of its own and no settings.
#include <cstdlib>

#include <QApplication>

#include "quorvane/app/fatal_message_box.h"
#include "quorvane/app/image_files.h"
#include "quorvane/app/main_window.h"
#include "quorvane/app/memory_policy.h"
#include "quorvane/web/web_request.h"

int main(int argc, char** argv) {
  // Before any thread: the allocator's policy and the HTTP library's process-wide set-up.
  quorvane::KeepFreedMemoryForReuse();
  quorvane::InitializeWebAccess();

  // Qt sees the program name only, so no command-line option reaches it.
  int qtArgc = argc > 0 ? 1 : 0;
  char* qtArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
  QApplication application(qtArgc, qtArgv);

  auto* window = new quorvane::MainWindow(quorvane::RunDirectory());
  quorvane::InstallFatalMessageBox(window->UiCalls());
  window->ShowCentred();
  const int exitCode = application.exec();

  // The window is gone: end at once, whatever the workers are doing. Their pictures are written
  // to unnamed files, so nothing half-written is left behind; nothing of ours needs cleaning up.
  std::_Exit(exitCode);
}
