// EventPump: a QCoreApplication for the capture tests and a loop that
// dispatches posted events until a condition holds (the test's stand-in for
// the UI thread's message loop).
#pragma once

#include <chrono>
#include <functional>

// Creates the process's QCoreApplication once.
void EnsureEventLoop();

// Dispatches events until `done` is true or `limit` has passed; returns `done`.
// The limit only keeps a broken test from hanging; it is no speed requirement.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(20));

// Dispatches events for `period` (to see that nothing more arrives).
void PumpFor(std::chrono::milliseconds period);
