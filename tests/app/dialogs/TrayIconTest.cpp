// The tray icon's menu and what each of its entries and mouse buttons does to
// the main window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "app/platform/ApplicationIdentity.h"
#include "app/windows/TrayIcon.h"

namespace {

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.setWindowTitle(QStringLiteral("TamblinV3.3"));
    window_.resize(300, 200);
    window_.show();
    tray_ = std::make_unique<TrayIcon>(&window_, [this] { ++exits_; });
  }

  QAction* Item(const char* name) {
    for (QAction* action : tray_->Menu()->actions()) {
      if (action->objectName() == QString::fromUtf8(name)) return action;
    }
    return nullptr;
  }

  QWidget window_;
  std::unique_ptr<TrayIcon> tray_;
  int exits_ = 0;
};

TEST_F(TrayIconTest, BringToFrontShowsTheWindowOutOfTheTrayOrMinimised) {
  tray_->SetTrayProbe([] { return true; });
  tray_->HideWindow();
  ASSERT_FALSE(window_.isVisible());
  tray_->BringToFront();
  EXPECT_TRUE(window_.isVisible());
  EXPECT_FALSE(window_.isMinimized());

  window_.showMinimized();
  tray_->BringToFront();
  EXPECT_TRUE(window_.isVisible());
  EXPECT_FALSE(window_.isMinimized());
}

TEST_F(TrayIconTest, ScheduleItemSitsBelowShowAndTheTipCarriesTheCountdown) {
  int opened = 0;
  tray_->AddScheduleItem([&] { ++opened; });
  const QList<QAction*> items = tray_->Menu()->actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[1]->objectName(), QStringLiteral("mnuSchedule"));
  EXPECT_TRUE(items[2]->isSeparator());
  items[1]->trigger();
  EXPECT_EQ(opened, 1);

  tray_->ShowSchedule(QStringLiteral("定时: 0:01:00 后开始录音"));
  EXPECT_EQ(tray_->Icon()->toolTip(), QStringLiteral("TamblinV3.3\n定时: 0:01:00 后开始录音"));
  tray_->ShowSchedule({});
  EXPECT_EQ(tray_->Icon()->toolTip(), QStringLiteral("TamblinV3.3"));
}

TEST_F(TrayIconTest, MenuHasShowSeparatorAndExitAndTheIconCarriesTheTip) {
  EXPECT_EQ(tray_->Icon()->toolTip(), QStringLiteral("TamblinV3.3"));
  EXPECT_EQ(tray_->Icon()->contextMenu(), tray_->Menu());
  const QList<QAction*> items = tray_->Menu()->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), QStringLiteral("显示Tamblin"));
  EXPECT_TRUE(items[1]->isSeparator());
  EXPECT_EQ(items[2]->text(), QStringLiteral("退出"));
}

// The tray shows the application's own picture at every drawn size, not a
// theme's stand-in (the window here has no icon of its own).
TEST_F(TrayIconTest, IconIsTheApplicationIconAtEverySize) {
  const QIcon icon = tray_->Icon()->icon();
  const QIcon application = ApplicationIdentity::Icon();
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    const QImage shown = icon.pixmap(size, size).toImage();
    EXPECT_EQ(shown.size(), QSize(size, size)) << size;
    EXPECT_EQ(shown, application.pixmap(size, size).toImage()) << size;
  }
}

TEST_F(TrayIconTest, HideThenShowRestoresTheWindowInItsState) {
  tray_->SetTrayProbe([] { return true; });
  tray_->HideWindow();
  EXPECT_FALSE(window_.isVisible());
  EXPECT_FALSE(window_.isMinimized());

  Item("显示Tamblin")->trigger();
  EXPECT_TRUE(window_.isVisible());
  EXPECT_FALSE(window_.isMinimized());
  EXPECT_EQ(exits_, 0);
}

TEST_F(TrayIconTest, WithoutANotificationAreaHidingMinimisesInstead) {
  tray_->SetTrayProbe([] { return false; });
  tray_->HideWindow();
  EXPECT_TRUE(window_.isVisible()) << "a window hidden without a tray could never come back";
  EXPECT_TRUE(window_.isMinimized());
}

TEST_F(TrayIconTest, OnlyTheRightButtonReactsAndAHiddenWindowStaysHidden) {
  tray_->SetTrayProbe([] { return true; });
  tray_->HideWindow();
  for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                      QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Context}) {
    emit tray_->Icon()->activated(reason);
    EXPECT_FALSE(window_.isVisible()) << reason;
  }
  EXPECT_EQ(exits_, 0);
}

TEST_F(TrayIconTest, ExitRunsTheExitActionOnceAfterTheMenuHasReturned) {
  Item("退出")->trigger();
  EXPECT_EQ(exits_, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(exits_, 1);
}

TEST_F(TrayIconTest, ExitActionMayDestroyTheTrayIcon) {
  // As the main window does: closing it removes the icon and its menu.
  tray_ = std::make_unique<TrayIcon>(&window_, [this] {
    ++exits_;
    tray_.reset();
  });
  QPointer<QMenu> menu = tray_->Menu();
  Item("退出")->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(exits_, 1);
  EXPECT_TRUE(menu.isNull());
}

TEST_F(TrayIconTest, ExitWhileHiddenInTheTrayEndsTheProgram) {
  for (QWidget* other : QApplication::topLevelWidgets()) {
    if (other != &window_) other->hide();
  }
  tray_ = std::make_unique<TrayIcon>(&window_, [this] {
    window_.close();
    tray_.reset();  // as the main window's unload does
  });
  tray_->SetTrayProbe([] { return true; });
  tray_->HideWindow();

  // Closing a hidden window is not a last visible window closing: Qt alone
  // would run on with neither window nor icon.
  QTimer::singleShot(0, [this] { Item("退出")->trigger(); });
  QTimer::singleShot(2000, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 0) << "the program ran on after 退出";
  EXPECT_EQ(tray_, nullptr);
}

TEST_F(TrayIconTest, ClosingTheAboutWindowWhileHiddenInTheTrayKeepsTheProgramRunning) {
  for (QWidget* other : QApplication::topLevelWidgets()) {
    if (other != &window_) other->hide();
  }
  tray_->SetTrayProbe([] { return true; });
  auto* about = new QWidget(nullptr, Qt::Window);  // no owner, as the About window
  about->setAttribute(Qt::WA_DeleteOnClose);
  about->show();
  tray_->HideWindow();

  // Qt quits as soon as its last visible window closes; here the main window
  // only sits in the tray, so the program must still be running afterwards.
  QTimer::singleShot(0, about, &QWidget::close);
  QTimer::singleShot(200, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 7) << "the program ended with its window hidden in the tray";

  // Shown again, the window is an ordinary visible one: closing it ends the program.
  tray_->ShowWindow();
  QTimer::singleShot(0, &window_, &QWidget::close);
  QTimer::singleShot(2000, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(TrayIconTest, DestroyingTheTrayIconRemovesTheIconAndItsMenu) {
  QPointer<QSystemTrayIcon> icon = tray_->Icon();
  QPointer<QMenu> menu = tray_->Menu();
  ASSERT_TRUE(icon->isVisible());
  tray_.reset();
  EXPECT_TRUE(icon.isNull());
  EXPECT_TRUE(menu.isNull());
  EXPECT_TRUE(window_.isVisible());
}

}  // namespace
