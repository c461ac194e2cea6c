#include "app/recording/WaveInCapture.h"

#include "capture/WaveInRecorder.h"

bool WaveInCapture::IsRecording() const { return recorder_.IsRecording(); }

bool WaveInCapture::StartRecord(int32_t samplerate, int16_t Channels) {
  return recorder_.StartRecord(samplerate, Channels);
}

std::string WaveInCapture::StartFailure() const { return recorder_.StartFailure(); }

bool WaveInCapture::StopRecord() { return recorder_.StopRecord(); }

bool WaveInCapture::StopRecord(int64_t upTo) { return recorder_.StopRecord(upTo); }

void WaveInCapture::DeliverReceived() { recorder_.DeliverReceived(); }

void WaveInCapture::DeliverReceived(int64_t mark) { recorder_.DeliverReceived(mark); }

int64_t WaveInCapture::MarkReceived() { return recorder_.MarkReceived(); }

int64_t WaveInCapture::LostInputCount() const { return recorder_.LostInputCount(); }

int64_t WaveInCapture::LostToQueueCount() const { return recorder_.LostToQueueCount(); }
