// TrayIcon: the notification-area icon of the main window (tip "TamblinV3.3")
// and its popup menu "显示Tamblin", separator, "退出", with the recording items
// "开始录音"/"停止录音" and "暂停"/"继续" above them once added, so a recording
// can be run while the window is hidden. The right button raises
// the window; the menu opens on release; left click and double click do nothing.
// The icon lives as long as this object. UI thread only.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "app/recording/RecorderState.h"

class QAction;
class QEventLoopLocker;
class QMenu;
class QWidget;

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  // `window` is the main window (not owned, must outlive this object);
  // `exitAction` runs for "退出", from the event loop once the menu has
  // returned, and should close the main window (which may destroy this object).
  TrayIcon(QWidget* window, std::function<void()> exitAction);
  ~TrayIcon() override;

  // "最小化至系统托盘": hides the window; where the desktop has no notification
  // area the window is minimised instead, so it can never be lost. While it is
  // hidden, closing another window (About) does not end the program.
  void HideWindow();
  // "显示Tamblin": makes the window visible, keeping its minimised or normal state.
  void ShowWindow();
  // Another start of the program asked for the window: out of the tray,
  // restored from minimised, raised and activated.
  void BringToFront();

  // Puts the recording items, then a separator, above the menu's items:
  // "开始录音" runs `startStop`, "暂停" (disabled until ShowRecordingState
  // enables it) runs `pause`.
  // "添加标记" (enabled with "暂停") runs `mark`.
  void AddRecordingItems(std::function<void()> startStop, std::function<void()> pause, std::function<void()> mark);
  // The recorder's state on the recording items (as RecorderButtons says, like the window's buttons).
  void ShowRecordingState(RecorderState state);
  // Puts "定时/触发..." (runs `open`) below "显示Tamblin".
  void AddScheduleItem(std::function<void()> open);
  // A waiting schedule's countdown as a second line of the tip; empty: the tip alone.
  void ShowSchedule(const QString& countdown);

  QSystemTrayIcon* Icon() const;
  QMenu* Menu() const;

  // For tests: replaces QSystemTrayIcon::isSystemTrayAvailable (empty restores it).
  void SetTrayProbe(std::function<bool()> probe);

 private:
  void OnActivated(QSystemTrayIcon::ActivationReason reason);
  void OnExit();
  bool TrayAvailable() const;

  QWidget* window_;
  std::function<void()> exitAction_;
  std::function<bool()> trayProbe_;
  // Held while the window is hidden in the tray: Qt ends the program when its
  // last visible window closes, and a hidden main window does not count. Let go
  // when the window is shown again or closed, so the program can then end.
  std::unique_ptr<QEventLoopLocker> keepRunning_;
  QMenu* menu_ = nullptr;
  QAction* startStop_ = nullptr;  // the recording items, once added
  QAction* pause_ = nullptr;
  QAction* mark_ = nullptr;
  QSystemTrayIcon* icon_ = nullptr;
};
