// TrackMix: two inputs of one take mixed into one track, each at its gain in
// dB, clipped at full scale. The gains are set once per take; Mix runs per
// block.
#pragma once

#include <cstdint>
#include <span>

class TrackMix {
 public:
  TrackMix(double firstGainDb, double secondGainDb);
  // out[i] = first[i] * g1 + second[i] * g2, saturated; all three the same size
  // (out may be first).
  void Mix(std::span<const int16_t> first, std::span<const int16_t> second, std::span<int16_t> out) const;

 private:
  float firstGain_;
  float secondGain_;
};
