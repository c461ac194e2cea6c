// RecordingFormat: what a recording captures, as one value: sample rate and
// channel count, parsed once from the window's rate box and stereo box. The
// recording controller alone hands it on: to the effects chain, the capture
// engine and the encoder.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct RecordingFormat {
  // The rates the encoder's converter and the effects chain take (the server takes them all).
  static constexpr int32_t kMinRate = 1000;
  static constexpr int32_t kMaxRate = 96000;

  int32_t rate = 0;      // Hz
  int16_t channels = 0;  // 1 or 2

  // The rate box's text as Hz, kMinRate .. kMaxRate; 0 otherwise.
  static int32_t ParseRate(const std::string& rateText);
  // Nothing when the rate text is not a rate a recording can use.
  static std::optional<RecordingFormat> FromChoices(const std::string& rateText, bool stereo);

  // Bytes of one 16-bit PCM frame (a sample of every channel).
  int32_t BlockAlign() const { return 2 * channels; }
  // Bytes of 16-bit PCM per second.
  int32_t BytesPerSecond() const { return rate * 2 * channels; }
  // Bytes of the whole frames in `duration` (any fraction of a frame left out).
  int64_t BytesIn(std::chrono::milliseconds duration) const {
    return duration.count() * rate / 1000 * 2 * channels;
  }
};
