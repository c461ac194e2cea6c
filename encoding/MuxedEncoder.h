// MuxedEncoder: the Encoder operations for the compressed file types (FLAC, Ogg
// Opus, MP3) on one AudioMuxer; each type is a small subclass that lists its
// setting's choices and turns rate, channels and setting into a MuxerPlan.
//
// Encode semantics as EncoderWAV's: a block of 16-bit PCM of up to one second,
// every whole frame is taken (buffer_used) and kept; EncoderClose flushes the
// codec, so every sample fed reaches the file. Failures never pass as success:
// ENC_WRITE_ERROR when the file does not take the output (the file stays a
// readable file of the blocks written before, see AudioMuxer), ENC_CONVERT_FAILED
// when the codec fails; after either, every later Encode fails too.
//
// Crash safety: written data reaches the kernel with every block (at most half a
// second of audio waits in the muxer) and the disk (fdatasync) at least once per
// SyncInterval, 1 s by default; Checkpoint puts what codec and muxer still hold
// on the disk too. One thread at a time (the recording thread while recording).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "encoding/AudioMuxer.h"
#include "encoding/Encoder.h"
#include "encoding/EncoderSetting.h"
#include "encoding/MuxerPlan.h"
#include "encoding/SyncPacer.h"

class MuxedEncoder : public Encoder {
 public:
  // Finishes a running file (a subclass that mends unfinished files closes in its own destructor).
  ~MuxedEncoder() override;

  // The choices of this type's setting, in the order a chooser lists them.
  virtual std::vector<EncoderSetting> SettingChoices() const = 0;
  // The setting a recording with `Channels` (1 or 2) uses: the chosen one, or the
  // type's default for that channel count while none was chosen.
  int32_t SettingFor(int16_t Channels) const;
  // The value chosen; nothing while the type's default for the channel count holds.
  std::optional<int32_t> ChosenSetting() const { return chosen_; }
  // Chooses a value of SettingChoices(). Throws AppError(90, "Encoder already
  // running!") while a file is open, AppError(32000, "invalid setting") for a
  // value that is not a choice.
  void Setting(int32_t value);
  // The description of SettingFor(Channels), as the chooser lists it.
  std::string SettingText(int16_t Channels) const;

  // Least time between two fdatasync calls while recording; 0 syncs after every
  // block. Negative values count as 0.
  std::chrono::milliseconds SyncInterval() const { return syncPacer_.Interval(); }
  void SyncInterval(std::chrono::milliseconds value);

  // Encoder
  EncoderResult EncoderClose() override;
  EncoderResult Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) override;
  // See AudioMuxer::Checkpoint.
  EncoderResult Checkpoint() override;
  int32_t EncoderMetrics(int32_t info) override;
  // ENC_TARGET_HOLDS_DATA when the output rules keep what the file holds.
  EncoderResult EncoderInit(int32_t samplerate, int16_t Channels, const std::string& output) override;
  void OutputRules(TargetRules rules) override { outputRules_ = rules; }  // default: replace
  EncoderResult EncoderDiscard() override;
  // Of the running recording; while idle, of a stereo recording at kIdleRate.
  int64_t TargetBytesPerSecond() const override;
  std::string InitError() const override;
  bool WritesTaggableFile() const override { return true; }
  int64_t FileBytes() const override { return muxer_.FileBytes(); }

 protected:
  // Rate assumed for TargetBytesPerSecond while no recording runs.
  static constexpr int32_t kIdleRate = 44100;

  virtual int32_t DefaultSetting(int16_t Channels) const = 0;
  virtual MuxerPlan Plan(int32_t samplerate, int16_t Channels, int32_t setting) const = 0;
  // Average bytes per second of the file a recording with these parameters writes.
  virtual int64_t BytesPerSecond(int32_t samplerate, int16_t Channels, int32_t setting) const = 0;
  // Called with the path of a file whose ending could not be written.
  virtual void MendUnfinished(const std::string& /*path*/) {}

  // The lowest of `offered` (ascending) that is at least `rate`; the highest when none is.
  static int32_t LowestRateAtLeast(int32_t rate, std::span<const int32_t> offered);
  // Choices described "<kbits> kbit/s<suffix>", one per bit rate of `kbits`.
  static std::vector<EncoderSetting> BitRateChoices(std::span<const int32_t> kbits, const std::string& suffix);
  // Bytes per second of a stream of `kbits` kbit/s.
  static int64_t BytesPerSecondAt(int32_t kbits) { return int64_t{kbits} * 1000 / 8; }

 private:
  bool Running() const { return muxer_.IsOpen(); }
  EncoderResult InitFailed(EncoderResult result, std::string cause);

  AudioMuxer muxer_;
  TargetRules outputRules_;
  std::optional<int32_t> chosen_;  // the user's setting; none: the type's default
  int32_t samplerate_ = 0;         // of the running recording
  int16_t channels_ = 0;
  SyncPacer syncPacer_;
  std::string initError_;
};
