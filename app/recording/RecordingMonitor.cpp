#include "app/recording/RecordingMonitor.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "metering/BlockPeak.h"

namespace {

// Copies without allocating when the size stays (the usual case).
void CopyInto(std::vector<int16_t>& to, std::span<const int16_t> from) {
  if (to.size() == from.size()) {
    std::copy(from.begin(), from.end(), to.begin());
  } else {
    to.assign(from.begin(), from.end());
  }
}

}  // namespace

std::string RecordingMonitor::Snapshot::LengthWithHandsFree() const {
  if (waitingForSound) return lengthText + "  " + QCoreApplication::translate("RecordingMonitor", "等待声音…").toStdString();
  if (take > 0) return lengthText + "  " + QCoreApplication::translate("RecordingMonitor", "第 %1 段").arg(take).toStdString();
  return lengthText;
}

double RecordingMonitor::Snapshot::LevelDbfs() const { return BlockPeak::Dbfs(BlockPeak::Of(levelBlock)); }

RecordingMonitor::RecordingMonitor() : block_(1024, 0), levelBlock_(1024, 0) {}

bool RecordingMonitor::MoveLocked(RecorderState to) {
  if (state_ == to || !CanMove(state_, to)) return false;
  state_ = to;
  return true;
}

void RecordingMonitor::Heard(bool changed) const {
  if (changed && changed_) changed_();
}

RecorderState RecordingMonitor::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

RecordingMonitor::Progress RecordingMonitor::ReadProgress() const {
  std::lock_guard lock(mutex_);
  return {state_, fileBytes_, lengthMs_};
}

RecordingMonitor::Snapshot RecordingMonitor::Read() const {
  Snapshot snapshot;
  Read(snapshot);
  return snapshot;
}

void RecordingMonitor::Read(Snapshot& into) const {
  std::lock_guard lock(mutex_);
  into.state = state_;
  into.file = file_;
  into.blockSerial = serial_;
  CopyInto(into.block, block_);
  CopyInto(into.levelBlock, levelBlock_);
  into.sizeText = sizeText_;
  into.lengthText = lengthText_;
  into.lostText = lostText_;
  into.loudness = loudness_;
  into.clips = clips_;
  into.fileBytes = fileBytes_;
  into.lengthMs = lengthMs_;
  into.takeLengthMs = takeLengthMs_;
  into.lostCount = lostCount_;
  into.secondsToWrite = 0;
  into.waitingForSound = waitingForSound_;
  into.take = take_;
  into.levelThreshold = levelThreshold_;
  if (into.state == RecorderState::Finishing && bytesPerSecond_ > 0) {
    into.secondsToWrite = static_cast<double>(std::max<int64_t>(stopAt_ - received_, 0)) / bytesPerSecond_;
  }
}

bool RecordingMonitor::StartRequested() {
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    changed = (state_ == RecorderState::Idle || state_ == RecorderState::Monitoring) &&
              MoveLocked(RecorderState::Starting);
  }
  Heard(changed);
  return changed;
}

RecorderState RecordingMonitor::StopRequested(int64_t upTo) {
  RecorderState was = RecorderState::Idle;
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    was = state_;
    if (was == RecorderState::Starting || TakeRuns(was)) {
      stopAt_ = upTo;
      changed = MoveLocked(RecorderState::Finishing);
    }
  }
  Heard(changed);
  return was;
}

RecorderState RecordingMonitor::ToggleRequested(int64_t upTo) {
  RecorderState was = RecorderState::Idle;
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    was = state_;
    if (was == RecorderState::Idle || was == RecorderState::Monitoring) {
      changed = MoveLocked(RecorderState::Starting);
    } else if (was == RecorderState::Starting || TakeRuns(was)) {
      stopAt_ = upTo;
      changed = MoveLocked(RecorderState::Finishing);
    }
  }
  Heard(changed);
  return was;
}

void RecordingMonitor::PublishBlock(std::span<const int16_t> block, std::span<const int16_t> levelBlock,
                                    uint64_t serial, int64_t received) {
  std::lock_guard lock(mutex_);
  CopyInto(block_, block);
  CopyInto(levelBlock_, levelBlock);
  serial_ = serial;
  received_ = received;
}

void RecordingMonitor::PublishTexts(std::string size, std::string length, std::string lost) {
  std::lock_guard lock(mutex_);
  sizeText_ = std::move(size);
  lengthText_ = std::move(length);
  lostText_ = std::move(lost);
}

void RecordingMonitor::PublishMeters(const LoudnessReading& loudness, std::array<int64_t, 2> clips) {
  std::lock_guard lock(mutex_);
  loudness_ = loudness;
  clips_ = clips;
}

void RecordingMonitor::PublishFileBytes(int64_t bytes) {
  std::lock_guard lock(mutex_);
  fileBytes_ = bytes;
}

void RecordingMonitor::PublishCounts(int32_t lengthMs, int64_t lostCount) {
  std::lock_guard lock(mutex_);
  lengthMs_ = lengthMs;
  // The idle state's 0 is no take's length: the last one stays until the next start.
  if (lengthMs > 0 || state_ == RecorderState::Starting) takeLengthMs_ = lengthMs;
  lostCount_ = lostCount;
}

void RecordingMonitor::PublishRunning(bool recording, bool paused, bool waitingForSound, bool finishing,
                                      int32_t bytesPerSecond) {
  RecorderState to = RecorderState::Idle;
  if (finishing) {
    to = RecorderState::Finishing;
  } else if (recording) {
    to = paused ? RecorderState::Paused : waitingForSound ? RecorderState::WaitingForSound : RecorderState::Recording;
  }
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    if (recording) bytesPerSecond_ = bytesPerSecond;
    // A start on its way ends in StartHandled (refused) or a running take, never
    // in the idle state published while it prepares.
    if (!(state_ == RecorderState::Starting && to == RecorderState::Idle)) changed = MoveLocked(to);
  }
  Heard(changed);
}

void RecordingMonitor::PublishFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  file_ = path;
}

void RecordingMonitor::PublishHandsFree(bool waitingForSound, int32_t take, double levelThreshold) {
  std::lock_guard lock(mutex_);
  waitingForSound_ = waitingForSound;
  take_ = take;
  levelThreshold_ = levelThreshold;
}

void RecordingMonitor::StartHandled() {
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    changed = state_ == RecorderState::Starting && MoveLocked(RecorderState::Idle);
  }
  Heard(changed);
}

void RecordingMonitor::StopHandled() {
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    changed = state_ == RecorderState::Finishing && MoveLocked(RecorderState::Idle);
  }
  Heard(changed);
}
