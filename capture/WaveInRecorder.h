// WaveInRecorder: records 16-bit PCM from one input device through a ring of
// capture buffers and hands every filled buffer to its sink (GotData), on the
// thread that started the recording. It also lists the input devices and the
// selected device's lines (ports) and works the line's record level.
//
// Threads: StartRecord, StopRecord and DeliverReceived run on the recording
// thread, which must run a Qt event loop (the buffers come back through it),
// and the sink is called there. MarkReceived, IsRecording, the byte counters
// and LostInputCount may be called from any thread. Devices, lines and levels
// are the window's: chosen while no recording starts.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "capture/CaptureClock.h"
#include "capture/CaptureSink.h"
#include "capture/compat/HookOwner.h"
#include "capture/SourceMixer.h"
#include "capture/compat/WAVEHDR.h"

class EventLog;
class MessageBoxService;
class MessageHook;
class WaveInDriver;

class WaveInRecorder : private HookOwner, public CaptureClock {
 public:
  // Real PulseAudio backend; hook errors are shown through `messageBoxes`
  // (nullptr: logged only) and written to the system log.
  explicit WaveInRecorder(MessageBoxService* messageBoxes = nullptr);
  // Given backends (tests); `eventLog` nullptr: the system log.
  WaveInRecorder(std::unique_ptr<WaveInDriver> driver, std::unique_ptr<SourceMixer> mixer,
                 MessageBoxService* messageBoxes = nullptr, EventLog* eventLog = nullptr);
  ~WaveInRecorder() override;  // stops a running recording
  WaveInRecorder(const WaveInRecorder&) = delete;
  WaveInRecorder& operator=(const WaveInRecorder&) = delete;

  // Where every filled buffer goes (GotData: the buffer's whole sample array,
  // the engine's own, and its valid byte count; a buffer holds BufferSize
  // bytes, or one second of the format where that is less), where dropped
  // input is told (InputLost, before the next block) and where a vanished
  // device or server is told once (DeviceLost; IsRecording stays true until
  // the owner calls StopRecord). Not owned; set while idle.
  void Sink(CaptureSink* sink) { sink_ = sink; }

  // Number of times input was dropped since StartRecord because the recording
  // thread held every buffer for longer than the driver's queue lasts, or the
  // server overflowed. 0 for a loss-free recording.
  int64_t LostInputCount() const;
  // Of those, the times the queue to the recording thread was full.
  int64_t LostToQueueCount() const;
  // Seconds of input kept for a recording thread that falls behind (the
  // disk), from the next StartRecord; the driver bounds it by its memory cap.
  void QueueSeconds(uint32_t seconds);
  // How often the driver is handed input (see WaveInDriver::FragmentsPerSecond);
  // 0: the driver's default. A running recording follows at once. Recording thread.
  void FragmentsPerSecond(uint32_t perSecond);
  // The pace the next start asks for, the driver's default resolved.
  uint32_t FragmentsPerSecond() const;

  bool IsRecording() const;
  // Bytes of input the device received since StartRecord, delivered or not yet.
  int64_t ReceivedBytes() const;
  // Any thread: when received byte `position` (as ReceivedBytes and
  // MarkReceived count) was captured, by the driver's clock; nothing when the
  // driver cannot tell or has no timing yet.
  std::optional<int64_t> CapturedAtUsec(int64_t position) const override;
  // Bytes handed to GotData since StartRecord.
  int64_t DeliveredBytes() const { return deliveredBytes_; }
  // Any thread: cuts the input at what was received so far, as the input goes
  // on; returns that position in received bytes (0 while idle). A later
  // DeliverReceived or StopRecord given the position delivers up to the cut
  // exactly, however far behind the recording thread is.
  int64_t MarkReceived();
  // Stops and closes the device. Before it closes, everything captured up to
  // the stop, or up to `upTo` (a MarkReceived position) when that is earlier,
  // goes out through GotData (the last buffer partly filled), with IsRecording
  // still true; input after it is dropped. A StopRecord called from inside
  // those deliveries only ends them. Always true; harmless while idle.
  bool StopRecord(int64_t upTo = INT64_MAX);
  // Delivers through GotData, before it returns, everything the device has
  // received up to this call (the last of it in a partly filled buffer), while
  // the recording goes on: the first buffer delivered afterwards starts with
  // the first sample received after the call. A pause cuts here, to the sample.
  // Harmless while idle; a StopRecord from inside ends the deliveries.
  void DeliverReceived();
  // The same up to `mark`, a position MarkReceived returned during this recording.
  void DeliverReceived(int64_t mark);
  // Opens the selected device (none selected: the system's default input) for
  // 16-bit PCM at `samplerate` Hz with `Channels` (1 or 2) and starts the ring.
  // False, with nothing left open and the cause in StartFailure, when the
  // device fails, when a recording is already running, or when BufferCount < 1
  // or BufferSize is not even and > 0.
  bool StartRecord(int32_t samplerate, int16_t Channels);
  // Why the last StartRecord failed, in the driver's or server's words;
  // empty after a successful start.
  const std::string& StartFailure() const { return startFailure_; }
  int32_t BufferCount() const;
  void BufferCount(int32_t Index);
  int32_t BufferSize() const;  // bytes
  void BufferSize(int32_t bytes);

  // Input devices as last enumerated by DeviceCount (ids are list positions);
  // monitors of outputs included. 0 when no audio server is reachable.
  int32_t DeviceCount();
  std::string DeviceName(int32_t Index);  // "" for an invalid id
  std::string DeviceSourceName(int32_t Index);  // the server's name for it; "" for an invalid id
  // Whether the device hears an output (a monitor) rather than an input.
  bool DeviceIsOutputMonitor(int32_t Index);
  // The id of the monitor of the default output (what the computer plays);
  // -1 when there is none or it is not in the list.
  int32_t DefaultOutputMonitorDevice();
  // False (selection kept) for an id outside the list; false (nothing
  // selected) when the device is gone or the server does not answer.
  bool SelectDevice(int32_t Index);
  // Lines are the device's ports; a device without ports is its own one line.
  // 0 / "" / false when no device is selected.
  int32_t MixerLineCount();
  std::string MixerLineName(int32_t Index);
  // Makes line `Index` (0 .. MixerLineCount - 1) the recorded one.
  bool SelectMixerLine(int32_t Index);
  int32_t SelectedDevice() const;  // -1 when none
  int32_t SelectedMixerLine();      // -1 when no device is selected
  // A MIXERLINE_COMPONENTTYPE_SRC_* value; -1 means the selected line.
  int32_t MixerLineType(int32_t Index);
  // Record level of the selected device, raw: 65536 = 100 %.
  int32_t MixerLineVolume();
  void MixerLineVolume(int32_t Volume);

 private:
  // One capture buffer: its header stays at the same address while prepared.
  struct CaptureBuffer {
    WAVEHDR header;
    std::vector<int16_t> samples;
    int16_t* dataAddress = nullptr;
  };

  HookHandler FindHookHandler(int32_t nOrdinal) override;
  void HandleWaveInMessage(bool bBefore, bool& bHandled, intptr_t& lReturn, WindowHandle hWnd,
                           uint32_t uMsg, uintptr_t wParam, intptr_t lParam, intptr_t& lParamUser);
  void CreateCallbackWindow();
  void HookCallbackWindow();
  void UnhookCallbackWindow();
  void ReleaseCallbackWindow();
  // Refuses the start with `cause`, undoing what it did: `prepared` buffers
  // are unprepared and an open device is closed.
  bool FailStart(std::string cause, int32_t prepared);
  bool PrepareBuffers(int32_t bytes);
  void UnprepareBuffers(int32_t last);
  // Hands the buffers the driver gave back to GotData in ring order, queueing
  // each again while the recording goes on, until `upTo` bytes of the
  // recording have been delivered. True when any was delivered.
  bool DeliverHandedBackBuffers(int64_t upTo = INT64_MAX);
  void DeliverUpTo(int64_t mark);
  // Tells the sink of input dropped since the last look.
  void ReportNewLosses();
  // The selected device as the server has it now; nothing when none is
  // selected or it is gone.
  std::optional<SourceDescription> SelectedSource();

  std::unique_ptr<WaveInDriver> driver_;
  std::unique_ptr<SourceMixer> mixer_;
  std::unique_ptr<EventLog> ownLog_;
  std::unique_ptr<MessageHook> hook_;
  int32_t bufferSize_ = 10240;
  int32_t bufferCount_ = 5;
  std::vector<CaptureBuffer> buffers_;
  std::shared_ptr<CallbackWindow> window_;
  WindowHandle callbackWindow_ = 0;
  CaptureSink* sink_ = nullptr;
  std::atomic<bool> open_{false};  // the wave-in handle is non-zero
  bool stopping_ = false;       // StopRecord is delivering the rest
  bool stopAgain_ = false;      // a GotData handler asked to stop during that
  size_t nextBuffer_ = 0;       // the buffer the driver hands back next
  std::atomic<int64_t> deliveredBytes_{0};  // handed to GotData during this recording
  int64_t reportedLosses_ = 0;       // of the driver's counts, already told
  int64_t reportedQueueLosses_ = 0;
  std::string startFailure_;
  uint64_t recording_ = 0;      // serial of the current recording
  int32_t deviceId_ = -1;
  std::vector<SourceDescription> devices_;  // as last enumerated
  std::string selectedSource_;              // server name of the selected device
  uint32_t queueSeconds_ = 0;               // 0: the driver's own choice
  uint32_t fragmentsPerSecond_ = 0;         // 0: the driver's own choice
};
