#include "app/WaveInCapture.h"

#include "capture/WaveInRecorder.h"

bool WaveInCapture::IsRecording() const { return recorder_.IsRecording(); }

bool WaveInCapture::StartRecord(int32_t samplerate, int16_t Channels) {
  return recorder_.StartRecord(samplerate, Channels);
}

std::string WaveInCapture::StartFailure() const { return recorder_.StartFailure(); }

bool WaveInCapture::StopRecord() { return recorder_.StopRecord(); }

void WaveInCapture::DeliverReceived() { recorder_.DeliverReceived(); }

int64_t WaveInCapture::LostInputCount() const { return recorder_.LostInputCount(); }
