// WaveInCapture: the CaptureEngine of the shipped program, a thin adapter over a
// WaveInRecorder owned elsewhere.
#pragma once

#include "app/recording/CaptureEngine.h"

class WaveInRecorder;

class WaveInCapture : public CaptureEngine {
 public:
  explicit WaveInCapture(WaveInRecorder& recorder) : recorder_(recorder) {}

  bool IsRecording() const override;
  bool StartRecord(int32_t samplerate, int16_t Channels) override;
  std::string StartFailure() const override;
  bool StopRecord() override;
  bool StopRecord(int64_t upTo) override;
  void DeliverReceived() override;
  void DeliverReceived(int64_t mark) override;
  int64_t MarkReceived() override;
  int64_t LostInputCount() const override;
  int64_t LostToQueueCount() const override;

 private:
  WaveInRecorder& recorder_;
};
