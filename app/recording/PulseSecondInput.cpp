// PulseSecondInput: alignment by capture time, waiting, gaps and losses.
#include "app/recording/PulseSecondInput.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "capture/CaptureClock.h"
#include "capture/PulseConnection.h"
#include "mixing/DriftCompensator.h"

PulseSecondInput::PulseSecondInput(const CaptureClock& firstClock, std::shared_ptr<PulseConnection> connection,
                                   uint32_t fragmentsPerSecond)
    : firstClock_(firstClock), input_(std::move(connection)), fragmentsPerSecond_(std::max(fragmentsPerSecond, 1u)) {}

PulseSecondInput::~PulseSecondInput() = default;

std::unique_ptr<SecondInput> PulseSecondInput::Create(const CaptureClock& firstClock, uint32_t fragmentsPerSecond) {
  return std::make_unique<PulseSecondInput>(firstClock, std::make_shared<PulseConnection>("Tamblin second input"),
                                            fragmentsPerSecond);
}

std::string PulseSecondInput::Open(const std::string& sourceName, int32_t rate, int16_t channels) {
  std::string failure = input_.Open(sourceName, rate, channels, fragmentsPerSecond_);
  if (!failure.empty()) return failure;
  rate_ = rate;
  channels_ = channels;
  compensator_.reset();
  origin_ = 0;
  losses_.clear();
  vanishedTold_ = false;
  alignWaited_ = false;
  stalledAt_ = -1;
  // Up to a few deliveries of the second input are taken at once.
  scratch_.assign(static_cast<size_t>(rate) * static_cast<size_t>(channels), 0);
  return {};
}

void PulseSecondInput::Close() {
  input_.Close();
  compensator_.reset();
}

void PulseSecondInput::Pull(int64_t firstFrame, std::span<int16_t> out) {
  const auto frames = static_cast<int64_t>(out.size()) / channels_;
  if (!compensator_ && (!input_.IsOpen() || !Align(firstFrame))) {
    // Nothing of the second input is known to belong here yet.
    std::fill(out.begin(), out.end(), int16_t{0});
    return;
  }
  const std::optional<double> wantedEnd = WantedPosition(firstFrame + frames);
  const double end = wantedEnd.value_or(compensator_->Position() + static_cast<double>(frames));
  const auto needed = static_cast<int64_t>(std::ceil(end)) + origin_ + kLookAheadFrames;
  if (input_.IsOpen() && !input_.Vanished()) WaitForInput(needed);
  Feed(firstFrame);
  SkipWhatTheFirstLost(firstFrame);
  compensator_->Pull(out, end);
  ReportShortfall(firstFrame + frames);
}

std::vector<SecondInput::Loss> PulseSecondInput::TakeLosses() { return std::exchange(losses_, {}); }

std::optional<double> PulseSecondInput::WantedPosition(int64_t firstFrame) const {
  const std::optional<int64_t> capturedAt = firstClock_.CapturedAtUsec(firstFrame * channels_ * 2);
  if (!capturedAt) return std::nullopt;
  const std::optional<double> second = input_.FrameCapturedAt(*capturedAt);
  if (!second) return std::nullopt;
  return *second - static_cast<double>(origin_);
}

bool PulseSecondInput::Align(int64_t firstFrame) {
  // A single reading of a stream's timing may run late by several ms; the
  // readings gathered as the input opens lay it within a fraction of one.
  // The first block waits for them once; should they not come, a window of
  // the readings taken at each delivery does, and until then the second
  // input is silence (and the first is not held up again).
  const std::chrono::milliseconds wait = alignWaited_ ? std::chrono::milliseconds(0) : WaitLimit();
  alignWaited_ = true;
  if (!input_.WaitForTiming(kAlignReadings, wait) &&
      !input_.WaitForTiming(CaptureTimeline::kWindow, std::chrono::milliseconds(0))) {
    return false;
  }
  origin_ = 0;
  const std::optional<double> start = WantedPosition(firstFrame);
  if (!start) return false;
  compensator_ = std::make_unique<DriftCompensator>(rate_, channels_);
  const int64_t startFrame = std::llround(*start);
  if (startFrame < 0) {
    // The second input began after this frame: silence until it did.
    origin_ = startFrame;
    compensator_->PushSilence(-startFrame);
  } else {
    compensator_->Skip(startFrame);
  }
  return true;
}

void PulseSecondInput::WaitForInput(int64_t frames) {
  // A second input that stalled is not waited for again until it moves:
  // waits at every block would put the first input ever further behind.
  const int64_t received = input_.ReceivedFrames();
  if (stalledAt_ == received) return;
  stalledAt_ = input_.WaitFor(frames, WaitLimit()) ? -1 : input_.ReceivedFrames();
}

std::chrono::milliseconds PulseSecondInput::WaitLimit() const {
  // A source that hands its input over in runs longer than its deliveries (a
  // sink's monitor behind a client that buffers ahead) is waited for as long
  // as two of its runs, up to kLongestWait: its input comes, only late.
  const std::chrono::milliseconds deliveries(1000 * kWaitPeriods / fragmentsPerSecond_);
  const std::chrono::milliseconds runs(2 * input_.LongestRunUsec() / 1000);
  return std::min(std::max(deliveries, runs), kLongestWait) + kWaitMargin;
}

void PulseSecondInput::Feed(int64_t firstFrame) {
  // Gaps are told where they fall among the first input's frames.
  const double position = compensator_->Position();
  const double pace = 1.0 + compensator_->Correction();
  for (const PulseTimedInput::Gap& gap : input_.TakeGaps()) {
    // Silence for input already told as late (and owed) is no new loss.
    const int64_t start = gap.frame - origin_;
    const int64_t owedEnd = compensator_->PushedEnd() + compensator_->Owed();
    const int64_t told = std::clamp<int64_t>(owedEnd - start, 0, gap.frames);
    if (told == gap.frames) continue;
    const double ahead = static_cast<double>(start + told) - position;
    AddLoss({firstFrame + std::llround(ahead / pace), gap.frames - told, false, {}});
  }
  for (size_t taken = input_.Take(scratch_); taken > 0; taken = input_.Take(scratch_)) {
    compensator_->Push(std::span<const int16_t>(scratch_.data(), taken));
  }
}

void PulseSecondInput::SkipWhatTheFirstLost(int64_t firstFrame) {
  const std::optional<double> wanted = WantedPosition(firstFrame);
  if (!wanted) return;
  const double behind = *wanted - compensator_->Position();
  if (behind > kJumpSeconds * rate_) compensator_->Skip(std::llround(behind));
}

void PulseSecondInput::ReportShortfall(int64_t blockEnd) {
  const int64_t silent = compensator_->TakeShortfall();
  if (silent == 0) return;
  const bool vanished = input_.Vanished();
  if (vanished && vanishedTold_) return;
  vanishedTold_ = vanished;
  AddLoss({blockEnd - silent, silent, vanished, vanished ? input_.VanishedReason() : std::string()});
}

void PulseSecondInput::AddLoss(Loss loss) {
  // Silence running on from the last loss is the same loss, longer.
  if (!losses_.empty() && !loss.vanished && !losses_.back().vanished &&
      losses_.back().firstFrame + losses_.back().frames == loss.firstFrame) {
    losses_.back().frames += loss.frames;
    return;
  }
  losses_.push_back(std::move(loss));
}
