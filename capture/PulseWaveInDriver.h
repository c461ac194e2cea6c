// PulseWaveInDriver: WaveInDriver on an audio server record stream (s16le at
// the requested rate and channels). The stream's data is drained on the main
// loop thread into a reserve of kReserveSeconds (at least kMinReserveBytes);
// what does not fit is dropped
// and counted. So input survives a UI thread that is busy for a while.
//
// Queued buffers are filled from the reserve on the UI thread (the thread that
// opened the driver), which then posts each filled one to the callback window.
// The main loop thread only wakes the UI thread, through a window of the
// driver's own, once the reserve holds enough to fill the first queued buffer;
// a wake-up already pending is not repeated. So the UI thread wakes once per
// buffer, never waits for the main loop lock while recording, and all buffers
// are posted from one thread in the order they were filled.
//
// If the source or the server vanishes, the data received so far is handed
// back (a partly filled buffer too) and WIM_DEVICE_LOST is posted.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/WaveInDriver.h"

class PulseConnection;

class PulseWaveInDriver : public WaveInDriver {
 public:
  static constexpr uint32_t kReserveSeconds = 3;
  static constexpr uint32_t kMinReserveBytes = 65536;
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
  int64_t Flush() override;
  int64_t OverflowCount() const override { return overflows_; }
  std::string LostReason() const override;
  std::string LastError() const override { return lastError_; }
  // Bytes of input taken from the server since Open (stored in the reserve).
  int64_t ReceivedBytes() const override { return receivedBytes_; }

 private:
  // Posted to the driver's own window: buffers can be filled (no parameters).
  static constexpr uint32_t kWakeMessage = 0x8002;

  static void OnRead(pa_stream* stream, size_t bytes, void* self);
  static void OnState(pa_stream* stream, void* self);
  static void OnOverflow(pa_stream* stream, void* self);

  // With the main loop lock held.
  bool Cork(bool corked);
  // Keeps the server's words for a failed call; returns `result`.
  MMRESULT Fail(MMRESULT result, std::string reason);
  void SetRunning(bool running);  // takes bufferMutex_
  void Drain();  // stream -> reserve; main loop thread
  void CloseStream();
  // Main loop thread: asks the UI thread to run OnWake, unless already asked.
  void Wake();
  // UI thread: fills queued buffers, and reports a loss once its data is out.
  void OnWake();

  // With bufferMutex_ held.
  void StoreInReserve(const char* data, size_t bytes);
  bool WakeWanted() const;  // the first queued buffer can be filled, or a loss waits
  void Pump();              // reserve -> queued buffers, cut at a mark; UI thread
  void Complete();          // hands the first queued buffer back; UI thread
  void HandBackAll();

  std::shared_ptr<PulseConnection> connection_;
  pa_stream* stream_ = nullptr;    // changed on the UI thread under the main loop lock
  WindowHandle window_ = 0;        // likewise
  std::shared_ptr<CallbackWindow> wakeWindow_;  // the driver's own, on the UI thread
  WindowHandle wakeHandle_ = 0;    // likewise
  std::atomic<bool> wakePending_{false};
  bool lost_ = false;              // main loop lock
  bool corked_ = true;             // main loop lock
  std::string lastError_;          // UI thread
  std::string lostReason_;         // main loop lock

  // The reserve and the buffer queue, shared by the main loop thread (which
  // stores) and the UI thread (which fills buffers). Held only briefly, never
  // while waiting for the server; taken after the main loop lock if both.
  std::mutex bufferMutex_;
  WAVEHDR* head_ = nullptr;  // queue of buffers to fill, linked by lpNext
  WAVEHDR* tail_ = nullptr;
  std::vector<char> reserve_;  // ring of received bytes not yet in a buffer
  size_t reserveStart_ = 0;
  size_t reserveUsed_ = 0;
  bool markPending_ = false;  // a Flush's mark lies in the reserve, ...
  size_t bytesBeforeMark_ = 0;  // ... this many bytes from reserveStart_
  bool overflowing_ = false;  // inside one run of dropped input
  bool running_ = false;
  bool lossPending_ = false;  // the UI thread has yet to hand back and report a loss
  std::atomic<int64_t> overflows_{0};
  std::atomic<int64_t> receivedBytes_{0};
};
