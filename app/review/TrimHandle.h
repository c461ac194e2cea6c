// TrimHandle: one cut handle of the take overview as a keyboard control. Tab
// reaches it; Left/Right move it by 0.1 s, with Shift by 1 s, Home and End as
// far as it goes. Assistive technology reads it as a slider whose value is
// the handle's time in seconds. The mouse passes through to the strip, which
// drags the handles itself and places this control over its handle.
#pragma once

#include <QWidget>
#include <cstdint>

#include "app/review/TakeOverviewStrip.h"

class TrimHandle : public QWidget {
  Q_OBJECT

 public:
  TrimHandle(TakeOverviewStrip& strip, TakeOverviewStrip::Grip which);

  TakeOverviewStrip::Grip Which() const { return which_; }
  // The handle's time and the take's length, in seconds.
  double Seconds() const;
  double TakeSeconds() const;
  // Moves the handle to `seconds` into the take, as a drag would.
  void MoveTo(double seconds);
  // Called by the strip after the handle moved: tells assistive technology.
  void Moved();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  TakeOverviewStrip& strip_;
  TakeOverviewStrip::Grip which_;
};
