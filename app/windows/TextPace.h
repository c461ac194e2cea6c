// TextPace: lets texts that follow a running recording (its size, length,
// loudness) change at most twice a second. Faster changes cannot be read, and
// each costs the label a new layout and a repaint. A change of what the texts
// say (the recorder's state, a new take) is shown at once.
#pragma once

#include <QElapsedTimer>
#include <cstdint>

class TextPace {
 public:
  static constexpr int64_t kEveryMs = 500;

  TextPace() { clock_.start(); }

  // Whether the texts are to be shown now; `changed` when their meaning
  // changed. When true, the next regular showing is kEveryMs from now.
  bool Due(bool changed) {
    const int64_t now = clock_.elapsed();
    if (!changed && now - shownMs_ < kEveryMs) return false;
    shownMs_ = now;
    return true;
  }

 private:
  QElapsedTimer clock_;
  int64_t shownMs_ = -kEveryMs;
};
