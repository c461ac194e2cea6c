// SteadyLabel: a label for a text that changes while a recording runs (its
// size, length, loudness). It keeps a fixed size, which grows when a text
// needs more room and never shrinks, so a new text costs a repaint of the
// label alone instead of a new layout of the whole window.
#pragma once

#include <QLabel>

class SteadyLabel : public QLabel {
  Q_OBJECT

 public:
  // At least as large as `widest` needs, the widest text it usually holds.
  SteadyLabel(const QString& text, const QString& widest, QWidget* parent = nullptr);

  // Shows `text`; an unchanged text costs nothing.
  void Show(const QString& text);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // Fixed at the larger of what `text` needs and `atLeast`.
  void FitTo(const QString& text, QSize atLeast);

  QString widest_;
};
