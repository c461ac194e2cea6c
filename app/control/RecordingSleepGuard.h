// RecordingSleepGuard: holds one sleep inhibitor while anyone needs the machine
// awake: a recording (from its start until its file is finished) or a caller
// such as a wait for a timed recording, each with a counted Hold()/Release().
// Window's thread only.
#pragma once

#include <QString>
#include <memory>

#include "app/platform/SleepInhibitor.h"
#include "app/recording/RecorderState.h"

class RecorderControl;

class RecordingSleepGuard {
 public:
  explicit RecordingSleepGuard(SleepInhibitor& inhibitor);
  ~RecordingSleepGuard();
  RecordingSleepGuard(const RecordingSleepGuard&) = delete;
  RecordingSleepGuard& operator=(const RecordingSleepGuard&) = delete;

  // Holds while `control` is anywhere but Idle; `control` may outlive the guard.
  void Follow(RecorderControl& control);
  void Hold(const QString& reason);
  // A release without a hold is ignored; it never ends a recording's hold.
  void Release();
  bool Holding() const;

 private:
  void OnRecorderState(RecorderState state);
  void Update(const QString& reason);

  SleepInhibitor& inhibitor_;
  int callerHolds_ = 0;
  bool recording_ = false;
  bool holding_ = false;
  // The recorder's listener outlives us: it checks this before touching the guard.
  std::shared_ptr<RecordingSleepGuard*> self_ = std::make_shared<RecordingSleepGuard*>(this);
};
