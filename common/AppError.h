// AppError: the error a refused property write or bad argument raises. It carries
// a number and a description, e.g. 32000 "invalid samplerate", 90 "Encoder already running!".
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class AppError : public std::runtime_error {
 public:
  AppError(int32_t number, std::string description);

  int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  int32_t number_;
  std::string description_;
};
