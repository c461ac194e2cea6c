#include "mixing/MakeEchoCanceller.h"

#include "mixing/WebRtcEchoCanceller.h"

std::unique_ptr<EchoCanceller> MakeEchoCanceller(int32_t rate, int16_t channels) {
  return std::make_unique<WebRtcEchoCanceller>(rate, channels);
}
