// ChannelPeaks: the loudest sample of each channel of an interleaved 16-bit
// block, as the level bars and the level reading need it: 0..32768 (full-scale
// negative counts as 32768). Mono gives the same peak twice.
#pragma once

#include <array>
#include <cstdint>
#include <span>

std::array<int32_t, 2> ChannelPeaks(std::span<const int16_t> block, int32_t channels);
