// TerminationSignals: the system asking the program to end (SIGTERM at logout,
// shutdown or a plain kill; SIGINT from Ctrl+C; SIGHUP when its terminal goes;
// the session manager's request to commit data), raised as one callback on the
// UI thread from the event loop.
//
// The handler only writes the signal's number into a pipe, which is
// async-signal-safe; a QSocketNotifier reads it on the UI thread. The callback
// runs once: a repeat is ignored while the program ends, so a second Ctrl+C
// cannot kill it half-way through finishing a file, unless it comes
// fallbackAfter or more after the first: then the signal takes its default
// action, so a program that hangs can still be ended. A signal that was
// ignored at start (nohup) stays ignored. One object at a time; the previous
// handlers come back when it goes.
#pragma once

#include <signal.h>

#include <QObject>
#include <QString>
#include <array>
#include <chrono>
#include <functional>
#include <memory>

class QSocketNotifier;

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  // Far longer than a stop takes, even one that waits for queued audio to be written.
  static constexpr std::chrono::seconds kFallbackAfter{10};

  explicit TerminationSignals(std::function<void()> requested,
                              std::chrono::milliseconds fallbackAfter = kFallbackAfter);
  ~TerminationSignals() override;

  // Why the handlers could not be installed (the system's words); empty when they were.
  const QString& ErrorText() const { return error_; }

 private:
  void Install();
  void OnPipeReadable();
  void Raise();

  std::function<void()> requested_;
  bool raised_ = false;
  std::array<int, 2> pipe_ = {-1, -1};  // read end, write end
  std::unique_ptr<QSocketNotifier> notifier_;
  std::array<struct sigaction, 3> previous_{};
  QString error_;
};
