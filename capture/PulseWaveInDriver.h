// PulseWaveInDriver: WaveInDriver on an audio server record stream (s16le at
// the requested rate and channels). The stream's data is drained on the main
// loop thread into a reserve (the queue to the recording thread) of
// QueueSeconds, kReserveSeconds by default, at least kMinReserveBytes and at
// most kMaxReserveBytes; what does not fit is dropped and counted. So input
// survives a recording thread held up by a slow disk for that long.
//
// Queued buffers are filled from the reserve on the filling thread (the thread
// that opened the driver: the recording thread), which then posts each filled
// one to the callback window. The main loop thread only wakes the filling
// thread, through a window of the driver's own, once the reserve holds enough
// to fill the first queued buffer (or a mark waits); a wake-up already pending
// is not repeated. So the filling thread wakes once per buffer, never waits for
// the main loop lock while recording, and all buffers are posted from one
// thread in the order they were filled. Mark may come from any thread: it only
// notes a position under bufferMutex_ and wakes the filling thread.
//
// Each read also notes when the server captured the input received so far,
// so the driver is the input's CaptureClock (any thread); right after a start
// the server's timing is also asked for in quick succession, so the clock is
// exact within tens of milliseconds rather than after a second of reads.
//
// If the source or the server vanishes, the data received so far is handed
// back (a partly filled buffer too) and WIM_DEVICE_LOST is posted.
#pragma once

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/CaptureReserve.h"
#include "capture/CaptureTimeline.h"
#include "capture/PulseCaptureTime.h"
#include "capture/PulseTimingBurst.h"
#include "capture/WaveInDriver.h"

class PulseConnection;

class PulseWaveInDriver : public WaveInDriver, public CaptureClock {
 public:
  static constexpr uint32_t kReserveSeconds = 60;
  static constexpr uint32_t kMinReserveBytes = 65536;
  static constexpr uint32_t kMaxReserveBytes = 64u << 20;
  // What the server itself may hold for us while the main loop thread is late.
  static constexpr uint32_t kServerBufferSeconds = 3;
  // Cuts waiting at once (pauses, resumes and a stop behind a held-up thread).
  static constexpr size_t kMaxMarks = 64;
  // Latency asked of the server per delivery: 1 / FragmentsPerSecond s, by
  // default (0) 1 / kFragmentsPerSecond s (the live displays' pace). An open
  // stream is asked for the new pace at once, keeping its input.
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
  int64_t Mark() override;
  void Fill() override;
  int64_t OverflowCount() const override { return overflows_ + queueOverflows_; }
  int64_t QueueOverflowCount() const override { return queueOverflows_; }
  void QueueSeconds(uint32_t seconds) override { queueSeconds_ = seconds; }
  void FragmentsPerSecond(uint32_t perSecond) override;
  // Bytes per delivery the server granted the open stream; 0 while closed.
  uint32_t GrantedFragmentBytes() const;
  std::string LostReason() const override;
  std::string LastError() const override { return lastError_; }
  // Bytes of input taken from the server since Open (stored in the reserve).
  int64_t ReceivedBytes() const override { return receivedBytes_; }
  const CaptureClock* Clock() const override { return this; }
  std::optional<int64_t> CapturedAtUsec(int64_t position) const override {
    return timeline_.CapturedAtUsec(position);
  }

 private:
  // Posted to the driver's own window: buffers can be filled (no parameters).
  static constexpr uint32_t kWakeMessage = 0x8002;

  static void OnRead(pa_stream* stream, size_t bytes, void* self);
  static void OnState(pa_stream* stream, void* self);
  static void OnOverflow(pa_stream* stream, void* self);

  // With the main loop lock held.
  bool Cork(bool corked);
  pa_buffer_attr BufferAttributes() const;
  // Keeps the server's words for a failed call; returns `result`.
  MMRESULT Fail(MMRESULT result, std::string reason);
  void SetRunning(bool running);  // takes bufferMutex_
  void Drain();  // stream -> reserve; main loop thread
  // Of the input received so far, by `reading`; main loop thread.
  bool NoteCaptureTime(const std::optional<PulseCaptureTime::Reading>& reading);
  // Main loop thread: notes the server's timing now; true when it counted.
  bool NoteFreshTiming();
  void CloseStream();
  // Main loop thread: asks the filling thread to run OnWake, unless already asked.
  void Wake();
  // Filling thread: fills queued buffers, and reports a loss once its data is out.
  void OnWake();

  // With bufferMutex_ held.
  void StoreInReserve(const char* data, size_t bytes);
  bool WakeWanted() const;  // the first queued buffer can be filled, or a loss waits
  void Pump();              // reserve -> queued buffers, cut at marks; filling thread
  void Complete();          // hands the first queued buffer back; filling thread
  void AddMark();           // at the input received so far
  void HandBackAll();

  std::shared_ptr<PulseConnection> connection_;
  pa_stream* stream_ = nullptr;    // changed on the filling thread under the main loop lock
  WindowHandle window_ = 0;        // likewise
  std::shared_ptr<CallbackWindow> wakeWindow_;  // the driver's own, on the filling thread
  std::atomic<WindowHandle> wakeHandle_{0};  // likewise; read by Mark on any thread
  std::atomic<bool> wakePending_{false};
  bool lost_ = false;              // main loop lock
  bool corked_ = true;             // main loop lock
  std::string lastError_;          // filling thread
  uint32_t queueSeconds_ = kReserveSeconds;  // filling thread
  uint32_t fragmentsPerSecond_ = kFragmentsPerSecond;  // filling thread
  WAVEFORMATEX format_{};          // of the open stream; filling thread
  std::string lostReason_;         // main loop lock

  // The reserve, the marks and the buffer queue, shared by the main loop
  // thread (which stores), the filling thread (which fills buffers) and any
  // thread that marks. Held only briefly, never while waiting for the server
  // or the disk; taken after the main loop lock if both.
  std::mutex bufferMutex_;
  WAVEHDR* head_ = nullptr;  // queue of buffers to fill, linked by lpNext
  WAVEHDR* tail_ = nullptr;
  CaptureReserve reserve_;  // received bytes not yet in a buffer
  std::deque<int64_t> marks_;  // cuts, as received-byte positions, oldest first
  bool overflowing_ = false;  // inside one run of dropped input
  bool running_ = false;
  bool lossPending_ = false;  // the filling thread has yet to hand back and report a loss
  std::atomic<int64_t> overflows_{0};       // the server's
  std::atomic<int64_t> queueOverflows_{0};  // the reserve's
  std::atomic<int64_t> receivedBytes_{0};
  CaptureTimeline timeline_;  // noted by the main loop thread at each read
  PulseTimingBurst startReadings_;  // fills timeline_ soon after a start; main loop lock
  int64_t readBytes_ = 0;     // from the stream, kept or not; main loop thread
};
