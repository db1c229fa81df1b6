// The window on Qt's offscreen platform: its look, its keys, its buttons, the worker services
// from another thread, 确定 running jobs against a real nginx, and the fatal report's box.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "job_fixtures.h"
#include "quorvane/app/fatal_message_box.h"
#include "quorvane/app/image_files.h"
#include "quorvane/app/main_window.h"
#include "quorvane/app/qt_text.h"
#include "quorvane/testing/test_servers.h"
#include "quorvane/text/fatal_error.h"

namespace quorvane {
namespace {

namespace qt = quorvane::testing;
namespace fs = std::filesystem;
using apptest::FileContents;
using apptest::IsPictureName;
using apptest::NotePage;
using apptest::PictureBytes;
using apptest::PictureElement;

qt::NginxEnvironment* const nginx =
    qt::AddEnvironment(new qt::NginxEnvironment([](qt::NginxServer& server) {
      server.WriteFile("p/a", PictureBytes(50000, 11));
      server.WriteFile("p/b", PictureBytes(120000, 12));
      return qt::NginxConfig{};
    }));

std::string Host() { return "//127.0.0.1:" + std::to_string(nginx->server().HttpPort()); }

std::string Utf8(const QString& string) { return string.toUtf8().toStdString(); }

// Processes events until done() or the limit passes; true when done.
bool ProcessEventsUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(runDirectory_.Path().empty()); }

  qt::TempDirectory runDirectory_{"quorvane-window"};
  const fs::path folder_ = ImageFolder(runDirectory_.Path());
};

TEST_F(MainWindowTest, CaptionIsTheToolsNameWithAFullWidthColon) {
  MainWindow window(runDirectory_.Path());
  EXPECT_EQ(Utf8(window.windowTitle()), "Quorvane v1.0 by\xEF\xBC\x9ATessavel");
  EXPECT_EQ(FromQString(window.windowTitle()).View(), "Quorvane v1.0 by\xA3\xBATessavel");
}

TEST_F(MainWindowTest, ControlsSitAtTheirDesignedPlaces) {
  MainWindow window(runDirectory_.Path());
  window.ShowCentred();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  struct Row {
    const char* label;
    QWidget* control;
    QRect geometry;
    std::string text;
  };
  const Row rows[] = {
      {"edit box", window.EditBox(), QRect(24, 24, 296, 32), ""},
      {"清空", window.ClearButton(), QRect(324, 24, 80, 32), "清空"},
      {"确定", window.OkButton(), QRect(407, 24, 80, 32), "确定"},
      {"status bar", window.StatusBar(), QRect(0, 94, 497, 24), ""},
      // Parts, in the status bar's own coordinates: 150, 150 and the rest.
      {"part 0", window.StatusPart(0), QRect(0, 0, 150, 24), "下载状态："},
      {"part 1", window.StatusPart(1), QRect(150, 0, 150, 24), "未开始"},
      {"part 2", window.StatusPart(2), QRect(300, 0, 197, 24), "Ondrevale"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(row.control->geometry(), row.geometry);
    EXPECT_TRUE(row.control->isVisible());
    if (auto* edit = qobject_cast<QLineEdit*>(row.control)) {
      EXPECT_EQ(Utf8(edit->text()), row.text);
    } else if (auto* button = qobject_cast<QPushButton*>(row.control)) {
      EXPECT_EQ(Utf8(button->text()), row.text);
      EXPECT_TRUE(button->isEnabled());
    } else if (auto* label = qobject_cast<QLabel*>(row.control)) {
      EXPECT_EQ(Utf8(label->text()), row.text);
      EXPECT_TRUE(label->toolTip().isEmpty());
    }
  }
  EXPECT_FALSE(window.StatusBar()->isSizeGripEnabled());
  EXPECT_TRUE(window.StatusBar()->currentMessage().isEmpty());
}

TEST_F(MainWindowTest, FixedFrameWithoutMaximiseBoxOpenedCentred) {
  MainWindow window(runDirectory_.Path());
  window.ShowCentred();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(window.size(), QSize(497, 118));
  EXPECT_EQ(window.minimumSize(), QSize(497, 118));
  EXPECT_EQ(window.maximumSize(), QSize(497, 118));
  const Qt::WindowFlags flags = window.windowFlags();
  struct Row {
    const char* label;
    Qt::WindowType flag;
    bool expected;
  };
  const Row rows[] = {
      {"title bar", Qt::WindowTitleHint, true},
      {"system menu", Qt::WindowSystemMenuHint, true},
      {"minimise box", Qt::WindowMinimizeButtonHint, true},
      {"close box", Qt::WindowCloseButtonHint, true},
      {"maximise box", Qt::WindowMaximizeButtonHint, false},
      {"kept on top", Qt::WindowStaysOnTopHint, false},
      {"frameless", Qt::FramelessWindowHint, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(flags.testFlag(row.flag), row.expected);
  }
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window.pos(), QPoint(screen.x() + (screen.width() - 503) / 2,
                                 screen.y() + (screen.height() - 153) / 2));
  // It can be moved.
  window.move(10, 20);
  EXPECT_EQ(window.pos(), QPoint(10, 20));
}

TEST_F(MainWindowTest, EscapeClosesFromEveryControl) {
  using ControlOf = QWidget* (*)(MainWindow&);
  struct Row {
    const char* label;
    ControlOf control;
  };
  const Row rows[] = {
      {"edit box", [](MainWindow& w) -> QWidget* { return w.EditBox(); }},
      {"清空", [](MainWindow& w) -> QWidget* { return w.ClearButton(); }},
      {"确定", [](MainWindow& w) -> QWidget* { return w.OkButton(); }},
      {"window", [](MainWindow& w) -> QWidget* { return &w; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    MainWindow window(runDirectory_.Path());
    window.ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QWidget* control = row.control(window);
    control->setFocus();
    QTest::keyClicks(window.EditBox(), "http://x/");
    QTest::keyClick(control, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
  }
}

TEST_F(MainWindowTest, EnterKeepsTheFocusAndStartsNothing) {
  MainWindow window(runDirectory_.Path());
  std::vector<std::string> statusSet;
  QObject::connect(&window, &MainWindow::StatusPartSet,
                   [&](int, const QString& text) { statusSet.push_back(Utf8(text)); });
  window.ShowCentred();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  window.EditBox()->setFocus();
  QTest::keyClicks(window.EditBox(), "abc");
  QTest::keyClick(window.EditBox(), Qt::Key_Return);
  QTest::keyClick(window.EditBox(), Qt::Key_Enter);
  EXPECT_EQ(QApplication::focusWidget(), window.EditBox());
  EXPECT_EQ(Utf8(window.EditBox()->text()), "abc");
  QTest::qWait(100);
  EXPECT_TRUE(statusSet.empty());
  EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowTest, ClearEmptiesTheEditBox) {
  MainWindow window(runDirectory_.Path());
  window.ShowCentred();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::keyClicks(window.EditBox(), "https://www.xiaohongshu.com/explore/1 ");
  ASSERT_FALSE(window.EditBox()->text().isEmpty());
  QTest::mouseClick(window.ClearButton(), Qt::LeftButton);
  EXPECT_TRUE(window.EditBox()->text().isEmpty());
  EXPECT_EQ(Utf8(window.StatusPart(1)->text()), "未开始");
}

TEST_F(MainWindowTest, MakesTheImageFolderWhenCreated) {
  EXPECT_FALSE(fs::exists(folder_));
  { MainWindow window(runDirectory_.Path()); }
  EXPECT_TRUE(fs::is_directory(folder_));
  // An existing folder and its files stay as they are.
  ASSERT_TRUE(qt::WriteWholeFile((folder_ / "old.jpg").string(), "kept"));
  { MainWindow window(runDirectory_.Path()); }
  EXPECT_EQ(FileContents(folder_), (std::map<std::string, std::string>{{"old.jpg", "kept"}}));
  // A run directory where nothing can be made: the window opens all the same.
  MainWindow window(runDirectory_.Path() + "/missing/deeper");
  window.ShowCentred();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(fs::exists(runDirectory_.Path() + "/missing"));
}

// The two services a worker uses, called from a thread of its own.
TEST_F(MainWindowTest, WorkerServicesRunOnTheUiThread) {
  MainWindow window(runDirectory_.Path());
  window.ShowCentred();
  window.EditBox()->setText(QString::fromUtf8("http://127.0.0.1/笔记 "));
  std::vector<std::pair<int, bool>> setOnUiThread;
  QObject::connect(&window, &MainWindow::StatusPartSet, [&](int index, const QString&) {
    setOnUiThread.emplace_back(index, QThread::currentThread() == qApp->thread());
  });

  std::atomic<bool> finished = false;
  Text address;
  std::thread worker([&] {
    std::unique_ptr<JobWindow> services = window.JobWindowForWorker();
    address = services->ReadAddress();
    services->SetStatusPart(1, apptest::FromUtf8("正在下载... 1/2"));
    services->SetStatusPart(0, apptest::FromUtf8("零"));
    services->SetStatusPart(2, apptest::FromUtf8("二"));
    services->SetStatusPart(3, apptest::FromUtf8("not a part"));
    services->SetStatusPart(-1, apptest::FromUtf8("not a part"));
    // The window's own entry points work from here too.
    window.SetStatusPart(1, apptest::FromUtf8("下载完毕"));
    finished = true;
  });
  EXPECT_TRUE(ProcessEventsUntil([&] { return finished.load(); }));
  worker.join();

  EXPECT_EQ(apptest::Utf8(address), "http://127.0.0.1/笔记 ");
  EXPECT_EQ(Utf8(window.StatusPart(0)->text()), "零");
  EXPECT_EQ(Utf8(window.StatusPart(1)->text()), "下载完毕");
  EXPECT_EQ(Utf8(window.StatusPart(2)->text()), "二");
  EXPECT_EQ(setOnUiThread,
            (std::vector<std::pair<int, bool>>{{1, true}, {0, true}, {2, true}, {1, true}}));
}

// A worker that outlives the window: its calls do nothing and it never waits forever.
TEST_F(MainWindowTest, WorkerServicesAfterTheWindowIsGone) {
  std::unique_ptr<JobWindow> services;
  {
    MainWindow window(runDirectory_.Path());
    window.EditBox()->setText("x");
    services = window.JobWindowForWorker();
  }
  std::thread worker([&] {
    EXPECT_TRUE(services->ReadAddress().Empty());
    services->SetStatusPart(1, apptest::FromUtf8("下载完毕"));
  });
  worker.join();
}

class OkButtonTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_TRUE(nginx->server().WriteFile(
        "note.html",
        NotePage({PictureElement(Host() + "/p/a.jpg"), PictureElement(Host() + "/p/b.jpg")})));
    window_.ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    QObject::connect(&window_, &MainWindow::StatusPartSet, [this](int index, const QString& text) {
      statusSet_.push_back(std::to_string(index) + ":" + Utf8(text));
    });
    QTest::keyClicks(window_.EditBox(),
                     QString::fromStdString(nginx->server().HttpUrl("/note.html")));
  }

  size_t Count(const std::string& status) const {
    return std::count(statusSet_.begin(), statusSet_.end(), status);
  }

  MainWindow window_{runDirectory_.Path()};
  std::vector<std::string> statusSet_;
};

TEST_F(OkButtonTest, RunsAJobThatSavesEveryPicture) {
  QTest::mouseClick(window_.OkButton(), Qt::LeftButton);
  EXPECT_TRUE(window_.OkButton()->isEnabled());
  ASSERT_TRUE(ProcessEventsUntil([&] { return Count("1:下载完毕") == 1; }));
  EXPECT_EQ(statusSet_,
            (std::vector<std::string>{"1:正在获取页面...", "1:正在下载...", "1:正在下载... 1/2",
                                      "1:正在下载... 2/2", "1:下载完毕"}));
  EXPECT_EQ(Utf8(window_.StatusPart(1)->text()), "下载完毕");
  std::multiset<std::string> saved;
  for (const auto& [name, bytes] : FileContents(folder_)) {
    EXPECT_TRUE(IsPictureName(name)) << name;
    saved.insert(bytes);
  }
  EXPECT_EQ(saved, (std::multiset<std::string>{PictureBytes(50000, 11), PictureBytes(120000, 12)}));
}

TEST_F(OkButtonTest, EveryClickStartsOneMoreJob) {
  QTest::mouseClick(window_.OkButton(), Qt::LeftButton);
  QTest::mouseClick(window_.OkButton(), Qt::LeftButton);
  QTest::mouseClick(window_.OkButton(), Qt::LeftButton);
  ASSERT_TRUE(ProcessEventsUntil([&] { return Count("1:下载完毕") == 3; }));
  EXPECT_EQ(Count("1:正在获取页面..."), 3u);
  EXPECT_EQ(FileContents(folder_).size(), 6u);
}

TEST_F(OkButtonTest, AnEmptyEditBoxSaysTheAddressCannotBeRead) {
  QTest::mouseClick(window_.ClearButton(), Qt::LeftButton);
  QTest::mouseClick(window_.OkButton(), Qt::LeftButton);
  ASSERT_TRUE(ProcessEventsUntil([&] { return statusSet_.size() == 2; }));
  EXPECT_EQ(statusSet_, (std::vector<std::string>{"1:正在获取页面...", "1:701 解析URL地址失败!"}));
  EXPECT_TRUE(FileContents(folder_).empty());
}

// The fatal report from a worker: a modal critical box captioned "错误", on the UI thread.
TEST_F(MainWindowTest, FatalReportFromAWorkerShowsABoxOnTheUiThread) {
  MainWindow window(runDirectory_.Path());
  window.ShowCentred();
  InstallFatalMessageBox(window.UiCalls());
  struct Seen {
    std::string caption, text;
    bool critical = false, modal = false, onUiThread = false;
  } seen;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = {Utf8(box->windowTitle()), Utf8(box->text()), box->icon() == QMessageBox::Critical,
            box->isModal(), QThread::currentThread() == qApp->thread()};
    box->accept();
  });
  closer.start(10);
  const Text report = FatalReportText(1, apptest::FromUtf8("数组成员引用下标超出定义范围"));
  std::atomic<bool> returned = false;
  std::thread worker([&] {
    ShowFatalReport(report);
    returned = true;
  });
  EXPECT_TRUE(ProcessEventsUntil([&] { return returned.load(); }));
  worker.join();
  SetFatalReporter(nullptr);
  EXPECT_EQ(seen.caption, "错误");
  EXPECT_EQ(seen.text, apptest::Utf8(report));
  EXPECT_TRUE(seen.critical);
  EXPECT_TRUE(seen.modal);
  EXPECT_TRUE(seen.onUiThread);
}

// FatalError on a worker: the box is shown on the UI thread, and once it is closed the process
// ends with exit code -1.
TEST_F(MainWindowTest, FatalErrorOnAWorkerEndsTheProgramAfterTheBox) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        MainWindow window(runDirectory_.Path());
        window.ShowCentred();
        InstallFatalMessageBox(window.UiCalls());
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [] {
          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          if (box == nullptr || Utf8(box->windowTitle()) != "错误") return;
          std::fprintf(stderr, "box shown: %s\n", Utf8(box->text()).c_str());
          box->accept();
        });
        closer.start(10);
        std::thread([] {
          FatalError(1, apptest::FromUtf8("数组成员引用下标超出定义范围"));
        }).detach();
        ProcessEventsUntil([] { return false; }, std::chrono::seconds(60));
        std::_Exit(0);  // not reached when the report ends the process
      },
      ::testing::ExitedWithCode(255), "box shown: 运行时出错!");
}

}  // namespace
}  // namespace quorvane

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
