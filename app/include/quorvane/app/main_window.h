// MainWindow: the tool's one window (Qt Widgets). Client area 497 x 118 with a fixed frame
// (title bar, system menu, minimise and close boxes, no maximise box), captioned
// "Quorvane v1.0 by：Tessavel":
//   edit box 24,24 296x32 (empty), 清空 324,24 80x32, 确定 407,24 80x32,
//   status bar 0,94 497x24 with parts 150, 150 and the rest wide: "下载状态：", "未开始",
//   "Ondrevale"; no size grip.
// Esc closes it from any control, like the close box. When made, it makes the image folder
// (run directory / "小红书", one level, result ignored). 确定 starts one detached worker per
// click running DownloadImages; 清空 clears the edit box.
//
// The worker services ReadAddress and SetStatusPart may be called from any thread; they are
// carried out on the UI thread and wait for it. After the window is destroyed they do nothing
// (ReadAddress gives the empty text).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include <QWidget>

#include "quorvane/app/job_window.h"
#include "quorvane/app/ui_thread_calls.h"
#include "quorvane/text/text.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace quorvane {

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kStatusParts = 3;

  // runDirectory: where the image folder is made and the pictures go.
  explicit MainWindow(std::filesystem::path runDirectory);
  ~MainWindow() override;

  // Places the outer frame at ((screen width - 503) / 2, (screen height - 153) / 2) of the
  // primary screen and shows the window.
  void ShowCentred();

  // Worker services; any thread.
  Text ReadAddress();
  void SetStatusPart(int32_t index, const Text& text);
  // The two services as the download job's window; stays safe to use after the window is gone.
  std::unique_ptr<JobWindow> JobWindowForWorker();
  // Runs functions on this window's UI thread, for the fatal report.
  std::shared_ptr<UiThreadCalls> UiCalls() const { return uiCalls_; }

  // The controls, for tests.
  QLineEdit* EditBox() const { return editBox_; }
  QPushButton* ClearButton() const { return clearButton_; }
  QPushButton* OkButton() const { return okButton_; }
  QStatusBar* StatusBar() const { return statusBar_; }
  QLabel* StatusPart(int index) const { return statusParts_[index]; }

 signals:
  // On the UI thread, after a status part's text was set.
  void StatusPartSet(int index, const QString& text);

 private:
  void Created();
  void OkClicked();

  const std::filesystem::path runDirectory_;
  const std::shared_ptr<UiThreadCalls> uiCalls_;
  QLineEdit* editBox_;
  QPushButton* clearButton_;
  QPushButton* okButton_;
  QStatusBar* statusBar_;
  QLabel* statusParts_[kStatusParts];
};

}  // namespace quorvane
