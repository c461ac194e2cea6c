// CaptureEngine: the part of the capture engine the recording controller drives.
// WaveInCapture adapts the real WaveInRecorder; controller tests script a fake.
// Captured blocks do not pass through here: the owner routes the engine's
// GotData event to RecordingController::GotData. UI thread only.
#pragma once

#include <cstdint>
#include <string>

class CaptureEngine {
 public:
  virtual ~CaptureEngine() = default;

  // The one "recording" flag of the program.
  virtual bool IsRecording() const = 0;
  // True when capture runs at samplerate Hz with Channels (1 or 2) channels.
  virtual bool StartRecord(int32_t samplerate, int16_t Channels) = 0;
  // Why the last StartRecord failed (the device's or server's words); empty
  // when it gave none.
  virtual std::string StartFailure() const = 0;
  // Capture is over after this call whatever it returns; False only reports
  // that the device refused part of the teardown. The rest of the recording
  // is delivered (GotData) before it returns, IsRecording still true.
  virtual bool StopRecord() = 0;
  // Delivers (GotData) everything received up to this call before it returns;
  // what is received afterwards comes in later blocks. Recording goes on.
  virtual void DeliverReceived() = 0;
  // Times input was dropped since the last StartRecord (the program could not
  // keep up, or the server overflowed); 0 for a loss-free recording.
  virtual int64_t LostInputCount() const = 0;
};
