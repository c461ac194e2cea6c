// PulseWaveInDriver: WaveInDriver on an audio server record stream (s16le at
// the requested rate and channels). The stream's data is drained on the main
// loop thread into a reserve of kReserveSeconds, from which queued buffers are
// filled in turn; a filled buffer is posted to the callback window. So input
// survives a UI thread that is busy for a while; what does not fit is dropped
// and counted. If the source or the server vanishes, the data received so far
// is handed back (a partly filled buffer too) and WIM_DEVICE_LOST is posted.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <memory>
#include <vector>

#include "capture/WaveInDriver.h"

class PulseConnection;

class PulseWaveInDriver : public WaveInDriver {
 public:
  static constexpr uint32_t kReserveSeconds = 3;
  // Latency asked of the server per delivery: 1 / kFragmentsPerSecond s.
  static constexpr uint32_t kFragmentsPerSecond = 20;

  explicit PulseWaveInDriver(std::shared_ptr<PulseConnection> connection);
  ~PulseWaveInDriver() override;

  MMRESULT Open(const std::string& sourceName, const WAVEFORMATEX& format,
                WindowHandle callbackWindow) override;
  MMRESULT Prepare(WAVEHDR* header) override;
  MMRESULT Unprepare(WAVEHDR* header) override;
  MMRESULT AddBuffer(WAVEHDR* header) override;
  MMRESULT Start() override;
  MMRESULT Stop() override;
  MMRESULT Reset() override;
  MMRESULT Close() override;
  int64_t OverflowCount() const override { return overflows_; }
  std::string LostReason() const override;

 private:
  static void OnRead(pa_stream* stream, size_t bytes, void* self);
  static void OnState(pa_stream* stream, void* self);
  static void OnOverflow(pa_stream* stream, void* self);

  // All below with the main loop lock held.
  bool Cork(bool corked);
  void Drain();                      // stream -> reserve
  void StoreInReserve(const char* data, size_t bytes);
  void Pump();                       // reserve -> queued buffers
  void Complete();                   // hands the first queued buffer back
  void HandBackAll();
  void CloseStream();

  std::shared_ptr<PulseConnection> connection_;
  pa_stream* stream_ = nullptr;
  WindowHandle window_ = 0;
  WAVEHDR* head_ = nullptr;  // queue of buffers to fill, linked by lpNext
  WAVEHDR* tail_ = nullptr;
  std::vector<char> reserve_;  // ring of received bytes not yet in a buffer
  size_t reserveStart_ = 0;
  size_t reserveUsed_ = 0;
  bool overflowing_ = false;  // inside one run of dropped input
  bool running_ = false;
  bool lost_ = false;
  std::string lostReason_;
  std::atomic<int64_t> overflows_{0};
};
