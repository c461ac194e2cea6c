#include "app/recording/RecordingMonitor.h"

#include <algorithm>

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

double RecordingMonitor::Snapshot::LevelDbfs() const { return BlockPeak::Dbfs(std::max(peaks[0], peaks[1])); }

RecordingMonitor::RecordingMonitor() : block_(1024, 0) {}

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
  Read(snapshot, false);
  return snapshot;
}

void RecordingMonitor::Read(Snapshot& into, bool withBlock) const {
  std::lock_guard lock(mutex_);
  into.state = state_;
  into.file = file_;
  into.blockSerial = serial_;
  if (withBlock) CopyInto(into.block, block_);
  into.peaks = peaks_;
  into.secondInput = secondInput_;
  into.secondPeaks = secondPeaks_;
  into.echoDelayMs = echoDelayMs_;
  into.capturing = capturing_;
  into.paused = paused_;
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

RecorderState RecordingMonitor::StopRequested(int64_t upTo) { return StopOrStartRequested(upTo, false); }

RecorderState RecordingMonitor::ToggleRequested(int64_t upTo) { return StopOrStartRequested(upTo, true); }

RecorderState RecordingMonitor::StopOrStartRequested(int64_t upTo, bool startsAtRest) {
  RecorderState was = RecorderState::Idle;
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    was = state_;
    if (startsAtRest && (was == RecorderState::Idle || was == RecorderState::Monitoring)) {
      changed = MoveLocked(RecorderState::Starting);
    } else if (was == RecorderState::Starting || TakeRuns(was)) {
      stopAt_ = upTo;
      changed = MoveLocked(RecorderState::Finishing);
    }
  }
  Heard(changed);
  return was;
}

void RecordingMonitor::PublishBlock(std::span<const int16_t> block, std::array<int32_t, 2> peaks, uint64_t serial,
                                    int64_t received) {
  std::lock_guard lock(mutex_);
  if (samplesWatched_) CopyInto(block_, block);
  peaks_ = peaks;
  serial_ = serial;
  received_ = received;
}

void RecordingMonitor::PublishSecondPeaks(bool open, std::array<int32_t, 2> peaks) {
  std::lock_guard lock(mutex_);
  secondInput_ = open;
  secondPeaks_ = open ? peaks : std::array<int32_t, 2>{};
}

void RecordingMonitor::PublishEchoDelay(std::optional<double> ms) {
  std::lock_guard lock(mutex_);
  echoDelayMs_ = ms;
}

void RecordingMonitor::PublishMeters(const LoudnessReading& loudness, std::array<int64_t, 2> clips) {
  std::lock_guard lock(mutex_);
  loudness_ = loudness;
  clips_ = clips;
}

void RecordingMonitor::PublishCounts(const Counts& counts) {
  std::lock_guard lock(mutex_);
  capturing_ = counts.capturing;
  paused_ = counts.paused;
  fileBytes_ = counts.fileBytes;
  lengthMs_ = counts.lengthMs;
  // The idle state's 0 is no take's length: the last one stays until the next start.
  if (counts.lengthMs > 0 || state_ == RecorderState::Starting) takeLengthMs_ = counts.lengthMs;
  lostCount_ = counts.lostCount;
}

void RecordingMonitor::PublishRunning(bool recording, bool paused, bool waitingForSound, bool finishing,
                                      int32_t bytesPerSecond, bool monitoring) {
  const RecorderState rest = monitoring ? RecorderState::Monitoring : RecorderState::Idle;
  RecorderState to = rest;
  if (finishing) {
    to = RecorderState::Finishing;
  } else if (recording) {
    to = paused ? RecorderState::Paused : waitingForSound ? RecorderState::WaitingForSound : RecorderState::Recording;
  }
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    if (recording) bytesPerSecond_ = bytesPerSecond;
    rest_ = rest;
    // A start on its way ends in StartHandled (refused) or a running take, never
    // in the resting state published while it prepares.
    if (!(state_ == RecorderState::Starting && AtRest(to))) changed = MoveLocked(to);
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
    changed = state_ == RecorderState::Starting && MoveLocked(rest_);
  }
  Heard(changed);
}

void RecordingMonitor::StopHandled() {
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    changed = state_ == RecorderState::Finishing && MoveLocked(rest_);
  }
  Heard(changed);
}
