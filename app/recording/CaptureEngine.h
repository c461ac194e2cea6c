// CaptureEngine: the part of the capture engine the recording controller drives.
// WaveInCapture adapts the real WaveInRecorder; controller tests script a fake.
// Captured blocks do not pass through here: the engine hands them to its sink
// (the controller), wired once by the recording engine. Recording thread only,
// but for MarkReceived, which the window's thread calls at a click.
#pragma once

#include <cstdint>
#include <string>

class CaptureEngine {
 public:
  virtual ~CaptureEngine() = default;

  // The one "recording" flag of the program: a take runs (an input open for
  // monitoring alone is not recording; its blocks reach the sink all the same).
  virtual bool IsRecording() const = 0;
  // True when capture runs at samplerate Hz with Channels (1 or 2) channels.
  // An input held open at that format goes on into the take with no gap, from
  // the first sample not yet delivered; one at another format is reopened.
  virtual bool StartRecord(int32_t samplerate, int16_t Channels) = 0;
  // Opens the input for monitoring at that format, with no take (an open one
  // at another format is reopened), and holds it open past the stops of the
  // takes started over it, until CloseInput. False, with the cause in
  // StartFailure, when the device refuses.
  virtual bool OpenInput(int32_t samplerate, int16_t Channels) = 0;
  // The input is no longer held: closed now when no take runs, else at its stop.
  virtual void CloseInput() = 0;
  // The input is held open for monitoring.
  virtual bool InputHeld() const = 0;
  // Why the last StartRecord failed (the device's or server's words); empty
  // when it gave none.
  virtual std::string StartFailure() const = 0;
  // The take is over after this call whatever it returns (the input stays
  // open when held); False only reports
  // that the device refused part of the teardown. The rest of the recording
  // is delivered (GotData) before it returns, IsRecording still true.
  virtual bool StopRecord() = 0;
  // The same, delivering only up to `upTo` (a MarkReceived position); what
  // was received after it stays out of the recording.
  virtual bool StopRecord(int64_t upTo) = 0;
  // Delivers (GotData) everything received up to this call before it returns;
  // what is received afterwards comes in later blocks. Recording goes on.
  virtual void DeliverReceived() = 0;
  // The same up to `mark`, a position MarkReceived returned.
  virtual void DeliverReceived(int64_t mark) = 0;
  // Any thread: cuts the input at what was received so far and returns the
  // position (received bytes); 0 while idle.
  virtual int64_t MarkReceived() = 0;
  // Times input was dropped since the last StartRecord (the program could not
  // keep up, or the server overflowed); 0 for a loss-free recording.
  virtual int64_t LostInputCount() const = 0;
  // Of those, the times the queue to the recording thread was full: the
  // recording (the disk) did not keep up.
  virtual int64_t LostToQueueCount() const = 0;
};
