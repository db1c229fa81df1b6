#include "quorvane/app/main_window.h"

#include <system_error>
#include <thread>
#include <utility>

#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>

#include "quorvane/app/download_job.h"
#include "quorvane/app/image_files.h"
#include "quorvane/app/qt_text.h"
#include "quorvane/text/code_page.h"

namespace quorvane {
namespace {

constexpr int kClientWidth = 497;
constexpr int kClientHeight = 118;
// The designed outer frame, used for centring.
constexpr int kFrameWidth = 503;
constexpr int kFrameHeight = 153;
constexpr int kPartRightEdges[MainWindow::kStatusParts] = {150, 300, kClientWidth};

QString Caption(const char* utf8) { return ToQString(TextFromUtf8(utf8)); }

// The services a worker holds. The window pointer is used only inside calls that run on the
// UI thread while the window exists (they are refused once it has closed its UiThreadCalls).
class WorkerWindow : public JobWindow {
 public:
  WorkerWindow(std::shared_ptr<UiThreadCalls> calls, MainWindow* window)
      : calls_(std::move(calls)), window_(window) {}

  Text ReadAddress() override {
    Text address;
    calls_->Run([&] { address = window_->ReadAddress(); });
    return address;
  }
  void SetStatusPart(int32_t index, const Text& text) override {
    calls_->Run([&] { window_->SetStatusPart(index, text); });
  }

 private:
  const std::shared_ptr<UiThreadCalls> calls_;
  MainWindow* const window_;
};

}  // namespace

MainWindow::MainWindow(std::filesystem::path runDirectory)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      runDirectory_(std::move(runDirectory)),
      uiCalls_(UiThreadCalls::Create()) {
  setWindowTitle(Caption("Quorvane v1.0 by：Tessavel"));
  setFixedSize(kClientWidth, kClientHeight);

  editBox_ = new QLineEdit(this);
  editBox_->setObjectName("编辑框1");
  editBox_->setGeometry(24, 24, 296, 32);

  clearButton_ = new QPushButton(Caption("清空"), this);
  clearButton_->setObjectName("按钮2");
  clearButton_->setGeometry(324, 24, 80, 32);
  connect(clearButton_, &QPushButton::clicked, editBox_, &QLineEdit::clear);

  okButton_ = new QPushButton(Caption("确定"), this);
  okButton_->setObjectName("按钮1");
  okButton_->setGeometry(407, 24, 80, 32);
  connect(okButton_, &QPushButton::clicked, this, &MainWindow::OkClicked);

  statusBar_ = new QStatusBar(this);
  statusBar_->setObjectName("状态条1");
  statusBar_->setSizeGripEnabled(false);
  statusBar_->setGeometry(0, 94, kClientWidth, 24);
  const char* const initialTexts[kStatusParts] = {"下载状态：", "未开始", "Ondrevale"};
  int left = 0;
  for (int part = 0; part < kStatusParts; ++part) {
    // Placed by hand rather than through the status bar's layout, which would add spacing.
    QLabel* label = new QLabel(Caption(initialTexts[part]), statusBar_);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setIndent(2);
    label->setGeometry(left, 0, kPartRightEdges[part] - left, 24);
    left = kPartRightEdges[part];
    statusParts_[part] = label;
  }

  // Esc closes the window whichever control has the focus.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);

  Created();
}

MainWindow::~MainWindow() { uiCalls_->Close(); }

void MainWindow::Created() {
  // One level, result ignored; an unknown run directory makes nothing (not a folder in the
  // current directory).
  if (!runDirectory_.empty()) MakeDirectory(ImageFolder(runDirectory_));
}

void MainWindow::ShowCentred() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    const QRect area = screen->geometry();
    // move() places the outer frame; C++ division truncates toward zero like the formula.
    move(area.x() + (area.width() - kFrameWidth) / 2,
         area.y() + (area.height() - kFrameHeight) / 2);
  }
  show();
}

Text MainWindow::ReadAddress() {
  Text address;
  uiCalls_->Run([&] { address = FromQString(editBox_->text()); });
  return address;
}

void MainWindow::SetStatusPart(int32_t index, const Text& text) {
  if (index < 0 || index >= kStatusParts) return;
  uiCalls_->Run([&] {
    const QString shown = ToQString(text);
    statusParts_[index]->setText(shown);
    emit StatusPartSet(index, shown);
  });
}

std::unique_ptr<JobWindow> MainWindow::JobWindowForWorker() {
  return std::make_unique<WorkerWindow>(uiCalls_, this);
}

void MainWindow::OkClicked() {
  std::shared_ptr<JobWindow> window = JobWindowForWorker();
  DownloadSettings settings{.runDirectory = runDirectory_};
  try {
    std::thread([window, settings] { DownloadImages(*window, settings); }).detach();
  } catch (const std::system_error&) {
    // A thread that cannot start is not reported: nothing happens for this click.
  }
}

}  // namespace quorvane
