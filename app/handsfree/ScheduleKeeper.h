// ScheduleKeeper: the window's side of scheduled and hands-free recording. Opens
// the "定时/触发" page, hands its sound-activation and split choices to the
// recording thread, and runs the schedule on a timer of its own, so it goes on
// while the window is hidden in the tray: a due start calls the recorder's
// Start with the plan's end (a duration or a size, which the recorder keeps to
// the sample), a stop at a time of day its Stop. A toggle from any door
// cancels a start that waits. While a schedule waits, the status bar and the
// tray icon's tip show the countdown. UI thread only.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "app/handsfree/HandsFreeSettings.h"
#include "app/recording/RecordingMonitor.h"
#include "app/handsfree/RecordingSchedule.h"

class QLabel;
class QStatusBar;
class QTimer;
class MessageBoxService;
class QWidget;
class RecordingEngine;
class TrayIcon;
class frmSchedule;

class ScheduleKeeper : public QObject {
  Q_OBJECT

 public:
  // `statusBar` gets a panel of its own for the countdown; `window` owns the
  // page; a refused start is told in `messages`.
  ScheduleKeeper(RecordingEngine& engine, QStatusBar& statusBar, QWidget& window, MessageBoxService& messages);
  ~ScheduleKeeper() override;

  // The tray icon whose tip shows the countdown (nullptr: none). Not owned.
  void SetTray(TrayIcon* tray);
  // The page, modal over the window; confirming applies it (Apply).
  void ShowDialog();
  // What confirming the page does: the hands-free choices go to the recording
  // thread, the plan replaces any schedule (an empty one cancels it).
  void Apply(const RecordingSchedule::Plan& plan, const HandsFreeSettings& handsFree);
  void Cancel();
  // A toggle (any door's): a pending start is cancelled and the toggle goes
  // no further (true); otherwise false, and the toggle does its work.
  bool CancelPendingStart();
  // One step of the schedule (the timer calls it).
  void Tick();

  // Heard when a scheduled start begins or ends waiting (the computer must not
  // sleep through it).
  std::function<void(bool waiting)> StartWaitChanged;

  RecordingSchedule& Schedule() { return schedule_; }
  const HandsFreeSettings& HandsFree() const { return handsFree_; }
  // Remembered choices at start-up: they go to the recording thread as confirmed ones do.
  void HandsFree(const HandsFreeSettings& settings);
  // Sound activation listens to either of two inputs (the page's choice), or to the first only.
  bool GateOnEither() const { return gateOnEither_; }
  void GateOnEither(bool either) { gateOnEither_ = either; }
  // Heard when the page's confirmation changed the hands-free choices or GateOnEither.
  std::function<void()> HandsFreeChosen;
  // "H:MM:SS".
  static QString CountdownText(std::chrono::seconds left);

 private:
  void ShowCountdown();
  QString CountdownCaption() const;
  // False when this object is gone meanwhile (the window closed during the start).
  bool StartRecording();
  // The plan's duration or size stop, for a recording that runs already.
  void HandOverEnd();

  RecordingEngine& engine_;
  QWidget& window_;
  MessageBoxService& messages_;
  RecordingSchedule schedule_;
  HandsFreeSettings handsFree_;
  RecordingSchedule::Plan lastPlan_;  // shown again when the page reopens
  TrayIcon* tray_ = nullptr;
  bool gateOnEither_ = false;
  frmSchedule* dialog_ = nullptr;  // created on first use, child of the window
  QLabel* panel_ = nullptr;
  QTimer* timer_ = nullptr;
  QString shown_;  // the countdown on screen
  bool startWaitHeard_ = false;  // what StartWaitChanged last heard
};
