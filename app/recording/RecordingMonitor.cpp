#include "app/recording/RecordingMonitor.h"

#include <QCoreApplication>
#include <algorithm>

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

RecordingMonitor::RecordingMonitor() : block_(1024, 0), levelBlock_(1024, 0) {}

RecorderState RecordingMonitor::StateLocked() const {
  if (stopRequested_ || finishing_) return RecorderState::Finishing;
  if (recording_) return paused_ ? RecorderState::Paused : RecorderState::Recording;
  return startRequested_ ? RecorderState::Starting : RecorderState::Idle;
}

RecorderState RecordingMonitor::State() const {
  std::lock_guard lock(mutex_);
  return StateLocked();
}

RecordingMonitor::Progress RecordingMonitor::ReadProgress() const {
  std::lock_guard lock(mutex_);
  return {StateLocked(), fileBytes_, lengthMs_};
}

RecordingMonitor::Snapshot RecordingMonitor::Read() const {
  Snapshot snapshot;
  Read(snapshot);
  return snapshot;
}

void RecordingMonitor::Read(Snapshot& into) const {
  std::lock_guard lock(mutex_);
  into.state = StateLocked();
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
  into.lostCount = lostCount_;
  into.secondsToWrite = 0;
  into.waitingForSound = waitingForSound_;
  into.take = take_;
  into.levelThreshold = levelThreshold_;
  if (into.state == RecorderState::Finishing && bytesPerSecond_ > 0) {
    into.secondsToWrite = static_cast<double>(std::max<int64_t>(stopAt_ - received_, 0)) / bytesPerSecond_;
  }
}

void RecordingMonitor::StartRequested() {
  std::lock_guard lock(mutex_);
  startRequested_ = true;
}

void RecordingMonitor::StopRequested(int64_t upTo) {
  std::lock_guard lock(mutex_);
  stopRequested_ = true;
  stopAt_ = upTo;
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
  lostCount_ = lostCount;
}

void RecordingMonitor::PublishRunning(bool recording, bool paused, bool finishing, int32_t bytesPerSecond) {
  std::lock_guard lock(mutex_);
  recording_ = recording;
  paused_ = paused;
  finishing_ = finishing;
  // Neither recording nor finishing: no stop is left to wait for, whoever asked
  // for one, so a start asked from now on is taken.
  if (!recording && !finishing) stopRequested_ = false;
  if (recording) bytesPerSecond_ = bytesPerSecond;
}

void RecordingMonitor::PublishHandsFree(bool waitingForSound, int32_t take, double levelThreshold) {
  std::lock_guard lock(mutex_);
  waitingForSound_ = waitingForSound;
  take_ = take;
  levelThreshold_ = levelThreshold;
}

void RecordingMonitor::StartHandled() {
  std::lock_guard lock(mutex_);
  startRequested_ = false;
}

void RecordingMonitor::StopHandled() {
  std::lock_guard lock(mutex_);
  stopRequested_ = false;
}
