// CaptureHandlers: a capture sink whose three calls are functions the test sets.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "capture/CaptureSink.h"

class CaptureHandlers : public CaptureSink {
 public:
  std::function<void(std::span<int16_t> intBuffer, int32_t& lngLen)> gotData;
  std::function<void(InputLoss cause)> inputLost;
  std::function<void(const std::string& reason)> deviceLost;

  void GotData(std::span<int16_t> intBuffer, int32_t& lngLen) override {
    if (gotData) gotData(intBuffer, lngLen);
  }
  void InputLost(InputLoss cause) override {
    if (inputLost) inputLost(cause);
  }
  void DeviceLost(const std::string& reason) override {
    if (deviceLost) deviceLost(reason);
  }
};
