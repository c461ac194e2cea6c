// SleepInhibitor: keeps the machine from sleeping while something must run on
// (a recording, a wait for a timed one). Only sleep and suspend: the screen may
// still blank and lock. Acquire and Release are idempotent, not counted.
#pragma once

#include <QString>

class SleepInhibitor {
 public:
  virtual ~SleepInhibitor() = default;

  // `reason` is shown to the user by the desktop's list of what blocks sleep.
  virtual void Acquire(const QString& reason) = 0;
  virtual void Release() = 0;
};
