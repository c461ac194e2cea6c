// EventPump: QCoreApplication and bounded event dispatch for tests.
#include "tests/capture/EventPump.h"

#include <QCoreApplication>
#include <thread>

void EnsureEventLoop() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "capture_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  EnsureEventLoop();
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void PumpFor(std::chrono::milliseconds period) {
  PumpUntil([] { return false; }, period);
}
