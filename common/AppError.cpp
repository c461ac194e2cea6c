#include "common/AppError.h"

#include <utility>

AppError::AppError(int32_t number, std::string description)
    : std::runtime_error(std::to_string(number) + ": " + description),
      number_(number),
      description_(std::move(description)) {}
