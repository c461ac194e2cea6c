// SampleBlock: signed 16-bit samples, little-endian, interleaved left/right in
// stereo. The valid part is given by a separate byte count where it matters.
#pragma once

#include <cstdint>
#include <vector>

using SampleBlock = std::vector<int16_t>;
