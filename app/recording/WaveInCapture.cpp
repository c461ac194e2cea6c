#include "app/recording/WaveInCapture.h"

#include "capture/WaveInRecorder.h"

bool WaveInCapture::IsRecording() const { return take_ && recorder_.IsRecording(); }

bool WaveInCapture::OpenAt(int32_t samplerate, int16_t Channels) const {
  return recorder_.IsRecording() && rate_ == samplerate && channels_ == Channels;
}

bool WaveInCapture::StartRecord(int32_t samplerate, int16_t Channels) {
  if (take_) return false;
  if (!OpenAt(samplerate, Channels)) {
    recorder_.StopRecord();
    if (!recorder_.StartRecord(samplerate, Channels)) return false;
    rate_ = samplerate;
    channels_ = Channels;
  }
  lostBefore_ = recorder_.LostInputCount();
  lostToQueueBefore_ = recorder_.LostToQueueCount();
  take_ = true;
  return true;
}

bool WaveInCapture::OpenInput(int32_t samplerate, int16_t Channels) {
  held_ = true;
  if (OpenAt(samplerate, Channels)) return true;
  if (!take_) recorder_.StopRecord();
  held_ = recorder_.StartRecord(samplerate, Channels);
  rate_ = samplerate;
  channels_ = Channels;
  return held_;
}

void WaveInCapture::CloseInput() {
  held_ = false;
  if (!take_) recorder_.StopRecord();
}

std::string WaveInCapture::StartFailure() const { return recorder_.StartFailure(); }

bool WaveInCapture::StopRecord() { return StopRecord(INT64_MAX); }

bool WaveInCapture::StopRecord(int64_t upTo) {
  if (!held_) {
    const bool stopped = recorder_.StopRecord(upTo);
    take_ = false;
    return stopped;
  }
  // The take's rest, to the cut; the input goes on for the monitor.
  if (upTo == INT64_MAX) {
    recorder_.DeliverReceived();
  } else {
    recorder_.DeliverReceived(upTo);
  }
  take_ = false;
  return true;
}

void WaveInCapture::DeliverReceived() { recorder_.DeliverReceived(); }

void WaveInCapture::DeliverReceived(int64_t mark) { recorder_.DeliverReceived(mark); }

int64_t WaveInCapture::MarkReceived() { return recorder_.MarkReceived(); }

int64_t WaveInCapture::LostInputCount() const { return recorder_.LostInputCount() - lostBefore_; }

int64_t WaveInCapture::LostToQueueCount() const { return recorder_.LostToQueueCount() - lostToQueueBefore_; }
