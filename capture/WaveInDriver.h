// WaveInDriver: the capture device operations the engine uses, in the order of
// a recording: Open, Prepare each buffer, Start, AddBuffer each buffer; the
// driver fills queued buffers in turn and posts each filled one to the callback
// window as MM_WIM_DATA (lParam = its header); Stop, Reset, Unprepare, Close.
// Every call returns MMSYSERR_NOERROR (0) on success. One object is one device
// handle. Calls come from the thread that opened it (the recording thread),
// except Mark and the counters, which any thread may call; a driver may post
// from any thread, but posts its buffers in the order it filled them.
#pragma once

#include <cstdint>
#include <string>

#include "capture/CaptureClock.h"
#include "capture/compat/CallbackWindow.h"
#include "capture/compat/WAVEHDR.h"
#include "common/WAVEFORMATEX.h"

class WaveInDriver {
 public:
  virtual ~WaveInDriver() = default;

  // Opens `sourceName` (empty: the system's default input) for `format`
  // (16-bit PCM, 1 or 2 channels); buffers go to `callbackWindow`.
  virtual MMRESULT Open(const std::string& sourceName, const WAVEFORMATEX& format,
                        WindowHandle callbackWindow) = 0;
  virtual MMRESULT Prepare(WAVEHDR* header) = 0;
  virtual MMRESULT Unprepare(WAVEHDR* header) = 0;
  // Queues a prepared header behind those already queued.
  virtual MMRESULT AddBuffer(WAVEHDR* header) = 0;
  virtual MMRESULT Start() = 0;
  // Stops input; a partly filled buffer is handed back, empty ones stay queued.
  // Input received before the stop and not yet in a buffer fills buffers
  // queued afterwards; calling Stop again hands back the next partial one.
  virtual MMRESULT Stop() = 0;
  // Stops input and hands back every queued buffer; input not yet in a buffer
  // is discarded.
  virtual MMRESULT Reset() = 0;
  // Marks the end of the input received so far, input going on: queued
  // buffers are filled up to the mark and the one it falls in is handed back
  // at once, partly filled; input after the mark starts the next buffer. When
  // the queued buffers cannot take all input before the mark, the rest goes
  // into buffers added later, the same way. Returns the bytes received since
  // Open up to the mark (every received byte is handed back in order, so the
  // engine knows when it has had them all).
  virtual int64_t Flush() = 0;
  // Any thread: registers the same cut as Flush, at the input received so
  // far, without filling buffers; the filling thread cuts there on its next
  // Fill (or wake-up). Returns the bytes received since Open up to the mark.
  virtual int64_t Mark() = 0;
  // Fills queued buffers from the input received, cutting at registered marks
  // (Flush is Mark followed by Fill).
  virtual void Fill() = 0;
  virtual MMRESULT Close() = 0;

  // Bytes of input received since Open (handed back or not yet).
  virtual int64_t ReceivedBytes() const = 0;
  // When the received bytes were captured; nullptr for a driver that cannot tell.
  virtual const CaptureClock* Clock() const { return nullptr; }
  // Times the server had to drop input since Open because no buffer was free
  // to take it (kept after Close).
  virtual int64_t OverflowCount() const = 0;
  // Of those, the times the driver's own queue was full because the thread
  // that takes the buffers fell behind (the server kept up).
  virtual int64_t QueueOverflowCount() const { return 0; }
  // How much input the driver keeps for a thread that falls behind, from the
  // next Open; drivers without such a queue ignore it.
  virtual void QueueSeconds(uint32_t seconds) { (void)seconds; }
  // How often the server hands input over (0: the driver's own pace): fewer,
  // larger pieces cost less when nobody watches the input live. An open
  // device follows at once, losing and repeating nothing. Drivers that do
  // not take input in pieces ignore it.
  virtual void FragmentsPerSecond(uint32_t perSecond) { (void)perSecond; }
  // Why WIM_DEVICE_LOST was posted (the server's own words).
  virtual std::string LostReason() const = 0;
  // Why the last failed call failed (the server's own words); empty when the
  // driver has nothing to add to the result code.
  virtual std::string LastError() const = 0;
};
