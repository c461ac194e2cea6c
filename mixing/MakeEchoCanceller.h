// MakeEchoCanceller: the echo canceller the recorder uses, for a stream of
// `rate` Hz (8000 .. 96000) and `channels` (1 or 2), the microphone and the
// reference alike. Throws std::invalid_argument with a message for the user
// on any other format.
#pragma once

#include <cstdint>
#include <memory>

#include "mixing/EchoCanceller.h"

std::unique_ptr<EchoCanceller> MakeEchoCanceller(int32_t rate, int16_t channels);
