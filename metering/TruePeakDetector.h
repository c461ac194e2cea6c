// TruePeakDetector: the true peak of 16-bit interleaved audio (ITU-R BS.1770-4
// Annex 2): 4x oversampling below 96 kHz, 2x below 192 kHz, none above, by a
// polyphase FIR. Runs on the recording thread block by block, so it skips the
// filter wherever the input's peak proves the outputs cannot matter: below the
// loudest value so far and, for the block's clip answer, below the block limit.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class TruePeakDetector {
 public:
  enum class Skipping { ProvablyQuiet, Never };

  explicit TruePeakDetector(Skipping skipping = Skipping::ProvablyQuiet) : skipping_(skipping) {}

  // A new measurement of `channels` at `rate`; `blockLimit` (linear) is the
  // level each block answers BlockExceeds for. False for a format it cannot take.
  bool Begin(int32_t rate, int16_t channels, double blockLimit);
  // Interleaved frames; a trailing part frame is left out.
  void Add(std::span<const int16_t> samples);
  // Linear true peak so far (1.0 = full scale), loudest channel, sample peaks included.
  double Peak() const { return peak_; }
  // Whether the last Add's true peak in `channel` (sample peak included) exceeded the block limit.
  bool BlockExceeds(int16_t channel) const;
  // Samples (of one channel each) run through the filter so far; the rest were skipped.
  int64_t FilteredSamples() const { return filteredSamples_; }

 private:
  static constexpr size_t kChunk = 32;  // frames filtered at once; also the skip granularity

  struct Phase {
    std::vector<double> coefficients;
    std::vector<size_t> lags;  // input samples back from the newest one
    double gain = 0;           // sum of |coefficient|: |output| <= gain * max |input read|
  };
  struct Channel {
    std::vector<double> inputs;  // history, then the chunk being filtered
    bool exceeds = false;        // the answer for the last Add's block
  };

  void DesignPhases(int32_t factor);
  void AddChannel(std::span<const int16_t> samples, size_t frames, int16_t channel);
  void AddChunk(Channel& channel, size_t frames, double samplePeak);
  bool Matters(const Channel& channel, double inputPeak) const;
  double FilteredPeak(const std::vector<double>& inputs, size_t frames) const;
  void Note(Channel& channel, double peak);

  Skipping skipping_;
  std::vector<Phase> phases_;
  std::vector<Channel> channels_;
  size_t history_ = 0;  // input samples kept from one chunk for the next
  double maxGain_ = 0;
  double blockLimit_ = 0;
  double peak_ = 0;
  int64_t filteredSamples_ = 0;
};
