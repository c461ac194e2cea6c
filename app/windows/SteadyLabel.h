// SteadyLabel: a label for a text that changes while a recording runs (its
// size, length, loudness). It keeps a fixed size, which grows when a text
// needs more room and never shrinks, so a new text costs a repaint of the
// label alone instead of a new layout of the whole window. Settle brings it
// back to the size of its widest usual text once a rare wide one (a stop's
// "finishing" line) has gone, so its neighbours get their room again.
#pragma once

#include <QLabel>

class SteadyLabel : public QLabel {
  Q_OBJECT

 public:
  // At least as large as `widest` needs, the widest text it usually holds.
  SteadyLabel(const QString& text, const QString& widest, QWidget* parent = nullptr);

  // Shows `text`; an unchanged text costs nothing.
  void Show(const QString& text);
  // Back to the size `widest` needs when the text shown fits it (one new
  // layout); nothing otherwise. For a moment when a jump disturbs nobody.
  void Settle();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // Fixed at the larger of what `text` needs and `atLeast`.
  void FitTo(const QString& text, QSize atLeast);
  // `text` fits on one line in a label `width` wide. The advance alone: a size
  // hint would lay the text out once more.
  bool Holds(const QString& text, int width) const;

  QString widest_;
  QSize usual_;  // the size `widest_` needs
};
