// WaveInCapture: the CaptureEngine of the shipped program, an adapter over a
// WaveInRecorder owned elsewhere. The recorder's one open input serves both
// the monitor and the takes: a take over a held input only moves the take's
// bounds in its stream (losses counted from the take's start), so the input
// runs on unbroken from monitoring into the take and back.
#pragma once

#include <atomic>

#include "app/recording/CaptureEngine.h"

class WaveInRecorder;

class WaveInCapture : public CaptureEngine {
 public:
  explicit WaveInCapture(WaveInRecorder& recorder) : recorder_(recorder) {}

  bool IsRecording() const override;
  bool StartRecord(int32_t samplerate, int16_t Channels) override;
  bool OpenInput(int32_t samplerate, int16_t Channels) override;
  void CloseInput() override;
  bool InputHeld() const override { return held_; }
  std::string StartFailure() const override;
  bool StopRecord() override;
  bool StopRecord(int64_t upTo) override;
  void DeliverReceived() override;
  void DeliverReceived(int64_t mark) override;
  int64_t MarkReceived() override;
  int64_t LostInputCount() const override;
  int64_t LostToQueueCount() const override;

 private:
  // Whether the recorder's open input is at that format.
  bool OpenAt(int32_t samplerate, int16_t Channels) const;

  WaveInRecorder& recorder_;
  std::atomic<bool> take_{false};
  bool held_ = false;
  int32_t rate_ = 0;
  int16_t channels_ = 0;
  int64_t lostBefore_ = 0;       // the input's losses before the take
  int64_t lostToQueueBefore_ = 0;
};
