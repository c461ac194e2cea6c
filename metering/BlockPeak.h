// BlockPeak: the largest sample magnitude of a block of 16-bit samples, of one
// channel of interleaved frames or of all of them, and that peak in dBFS. The
// level bars and the level the doors report are both made of it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace BlockPeak {

// What a silent block reads in dBFS: below every peak a sample can have.
inline constexpr double kSilenceDbfs = -99.0;

// The largest |sample| (0..32768) of block[first], block[first + step], ...;
// `first` below 0 counts as 0, `step` below 1 as 1.
int32_t Of(std::span<const int16_t> block, int32_t first = 0, int32_t step = 1);

// The largest |sample| of each channel of whole interleaved frames: stereo gives
// left and right, any other count one peak over the block, twice.
std::array<int32_t, 2> OfChannels(std::span<const int16_t> block, int32_t channels);

// `peak` (0..32768) in dB relative to full scale (32768); 0 reads kSilenceDbfs.
double Dbfs(int32_t peak);

}  // namespace BlockPeak
