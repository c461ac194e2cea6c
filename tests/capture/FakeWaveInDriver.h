// FakeWaveInDriver: a scripted wave-in driver for engine tests. It logs every
// call ("open", "prepare 3", "start", "add 0", "stop", "flush", "reset",
// "unprepare 2", "close"), fails the calls named with FailOn, and fills queued buffers only
// when the test says so, posting them to the callback window like a device.
#pragma once

#include <deque>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "capture/WaveInDriver.h"

class FakeWaveInDriver : public WaveInDriver {
 public:
  // `call` as it appears in the log, e.g. "prepare 3" or "start".
  void FailOn(const std::string& call) { failing_.insert(call); }

  // Copies `samples` into the first queued buffer (as far as they fit), marks
  // it done and posts it. False when no buffer is queued.
  bool FillNext(std::span<const int16_t> samples);
  // Copies `samples` into the first queued buffer without handing it back,
  // as a device in the middle of a buffer; Stop hands it back.
  bool FillPartly(std::span<const int16_t> samples);
  // Posts WIM_DEVICE_LOST with `reason`.
  void LoseDevice(const std::string& reason);
  size_t QueuedCount() const { return queue_.size(); }

  MMRESULT Open(const std::string& sourceName, const WAVEFORMATEX& format,
                WindowHandle callbackWindow) override;
  MMRESULT Prepare(WAVEHDR* header) override;
  MMRESULT Unprepare(WAVEHDR* header) override;
  MMRESULT AddBuffer(WAVEHDR* header) override;
  MMRESULT Start() override;
  MMRESULT Stop() override;
  MMRESULT Reset() override;
  MMRESULT Close() override;
  // Hands back a partly filled first buffer, as the device would at a mark.
  int64_t Flush() override;
  // Remembers the cut; Fill hands the partly filled buffer back then.
  int64_t Mark() override;
  void Fill() override;
  int64_t OverflowCount() const override { return overflows; }
  // Handed back, and in the first queued buffer.
  int64_t ReceivedBytes() const override;
  std::string LostReason() const override { return lostReason_; }
  std::string LastError() const override { return lastError; }
  void FragmentsPerSecond(uint32_t perSecond) override { paces.push_back(perSecond); }

  std::vector<std::string> calls;
  std::string openedSource;
  WAVEFORMATEX openedFormat;
  WindowHandle window = 0;
  int64_t overflows = 0;
  std::string lastError;  // what LastError says
  std::vector<uint32_t> paces;  // every FragmentsPerSecond, in order

 private:
  MMRESULT Log(const std::string& call);
  void HandBack(WAVEHDR* header);
  void HandBackPartial();

  std::set<std::string> failing_;
  std::deque<WAVEHDR*> queue_;
  int64_t handedBackBytes_ = 0;  // since Open
  bool open_ = false;
  bool marked_ = false;
  std::string lostReason_;
};
