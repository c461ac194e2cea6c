#include "app/control/RecordingSleepGuard.h"

#include <QCoreApplication>

#include "app/recording/RecorderControl.h"

RecordingSleepGuard::RecordingSleepGuard(SleepInhibitor& inhibitor) : inhibitor_(inhibitor) {}

RecordingSleepGuard::~RecordingSleepGuard() {
  if (holding_) inhibitor_.Release();
}

void RecordingSleepGuard::Follow(RecorderControl& control) {
  std::weak_ptr<RecordingSleepGuard*> guard = self_;
  control.OnStateChanged([guard](RecorderState state) {
    if (const auto self = guard.lock()) (*self)->OnRecorderState(state);
  });
  OnRecorderState(control.CurrentStatus().state);
}

void RecordingSleepGuard::Hold(const QString& reason) {
  ++callerHolds_;
  Update(reason);
}

void RecordingSleepGuard::Release() {
  if (callerHolds_ > 0) --callerHolds_;
  Update({});
}

bool RecordingSleepGuard::Holding() const { return holding_; }

void RecordingSleepGuard::OnRecorderState(RecorderState state) {
  recording_ = !AtRest(state);
  Update(QCoreApplication::translate("RecordingSleepGuard", "正在录音"));
}

void RecordingSleepGuard::Update(const QString& reason) {
  const bool needed = recording_ || callerHolds_ > 0;
  if (needed == holding_) return;
  holding_ = needed;
  if (needed) {
    inhibitor_.Acquire(reason);
  } else {
    inhibitor_.Release();
  }
}
