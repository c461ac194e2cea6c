#include "app/windows/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QEventLoopLocker>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include "app/platform/ApplicationIdentity.h"
#include "app/windows/RecorderButtons.h"

TrayIcon::TrayIcon(QWidget* window, std::function<void()> exitAction)
    : QObject(window), window_(window), exitAction_(std::move(exitAction)) {
  menu_ = new QMenu;  // owned here: removed with the icon, whatever happens to the window
  menu_->setObjectName(QStringLiteral("Mnu_Menu"));
  QAction* show = menu_->addAction(tr("显示Tamblin"));
  show->setObjectName(QStringLiteral("显示Tamblin"));
  connect(show, &QAction::triggered, this, &TrayIcon::ShowWindow);
  QAction* separator = menu_->addSeparator();
  separator->setObjectName(QStringLiteral("ddd"));
  QAction* quit = menu_->addAction(tr("退出"));
  quit->setObjectName(QStringLiteral("退出"));
  // Queued: closing the window destroys this object with its menu, which must
  // not happen while the menu is still delivering the click.
  connect(quit, &QAction::triggered, this, &TrayIcon::OnExit, Qt::QueuedConnection);

  icon_ = new QSystemTrayIcon(ApplicationIdentity::Icon(), this);
  icon_->setToolTip("TamblinV" + ApplicationIdentity::Version());
  // The platform opens the context menu itself when the right button is released.
  icon_->setContextMenu(menu_);
  connect(icon_, &QSystemTrayIcon::activated, this, &TrayIcon::OnActivated);
  icon_->show();
}

TrayIcon::~TrayIcon() {
  icon_->hide();
  delete icon_;
  icon_ = nullptr;
  delete menu_;
}

void TrayIcon::HideWindow() {
  if (TrayAvailable()) {
    window_->hide();
    if (!keepRunning_) keepRunning_ = std::make_unique<QEventLoopLocker>();
  } else {
    // Without a notification area nothing could bring a hidden window back.
    window_->showMinimized();
  }
}

void TrayIcon::ShowWindow() {
  window_->setVisible(true);
  keepRunning_.reset();
}

void TrayIcon::BringToFront() {
  ShowWindow();
  window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
  window_->raise();
  window_->activateWindow();
}

void TrayIcon::AddRecordingItems(std::function<void()> startStop, std::function<void()> pause,
                                 std::function<void()> mark) {
  QAction* first = menu_->actions().value(0);
  startStop_ = new QAction(tr("开始录音"), menu_);
  startStop_->setObjectName(QStringLiteral("mnuDo"));
  pause_ = new QAction(tr("暂停"), menu_);
  pause_->setObjectName(QStringLiteral("mnuPause"));
  pause_->setEnabled(false);
  mark_ = new QAction(tr("添加标记"), menu_);
  mark_->setObjectName(QStringLiteral("mnuMark"));
  mark_->setEnabled(false);
  menu_->insertActions(first, {startStop_, pause_, mark_});
  menu_->insertSeparator(first)->setObjectName(QStringLiteral("mnuRecordingEnd"));
  connect(startStop_, &QAction::triggered, this, std::move(startStop));
  connect(pause_, &QAction::triggered, this, std::move(pause));
  connect(mark_, &QAction::triggered, this, std::move(mark));
}

void TrayIcon::ShowRecordingState(RecorderState state) {
  if (startStop_ == nullptr) return;
  const RecorderButtons shown = RecorderButtons::For(state);
  startStop_->setText(shown.startStop);
  pause_->setEnabled(shown.pauseEnabled);
  mark_->setEnabled(shown.pauseEnabled);
  pause_->setText(shown.pause);
}

void TrayIcon::AddScheduleItem(std::function<void()> open) {
  QAction* schedule = new QAction(tr("定时/触发..."), menu_);
  schedule->setObjectName(QStringLiteral("mnuSchedule"));
  menu_->insertAction(menu_->findChild<QAction*>(QStringLiteral("ddd")), schedule);
  connect(schedule, &QAction::triggered, this, std::move(open));
}

void TrayIcon::ShowSchedule(const QString& countdown) {
  const QString tip = "TamblinV" + ApplicationIdentity::Version();
  icon_->setToolTip(countdown.isEmpty() ? tip : tip + "\n" + countdown);
}

QSystemTrayIcon* TrayIcon::Icon() const { return icon_; }

QMenu* TrayIcon::Menu() const { return menu_; }

void TrayIcon::SetTrayProbe(std::function<bool()> probe) { trayProbe_ = std::move(probe); }

void TrayIcon::OnExit() {
  const QPointer<TrayIcon> alive(this);
  // A copy: the exit action closes the main window, which may destroy this object.
  const std::function<void()> exitAction = exitAction_;
  if (exitAction) exitAction();
  // The window is closed now; a window hidden in the tray no longer holds the
  // program open (destroying this object lets go of it as well).
  if (alive) keepRunning_.reset();
}

void TrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  // Only the right button (Context) reacts: bring a visible window to the front.
  // Left click, double click and middle click do nothing; a hidden window stays hidden.
  if (reason != QSystemTrayIcon::Context) return;
  if (window_->isVisible()) {
    window_->raise();
    window_->activateWindow();
  }
}

bool TrayIcon::TrayAvailable() const {
  return trayProbe_ ? trayProbe_() : QSystemTrayIcon::isSystemTrayAvailable();
}
