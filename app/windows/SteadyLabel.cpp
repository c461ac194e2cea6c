#include "app/windows/SteadyLabel.h"

#include <QEvent>

SteadyLabel::SteadyLabel(const QString& text, const QString& widest, QWidget* parent)
    : QLabel(parent), widest_(widest) {
  FitTo(widest_, {});
  usual_ = size();
  FitTo(text, size());
  setText(text);
}

void SteadyLabel::Show(const QString& text) {
  if (text == this->text()) return;
  setText(text);
  if (!Holds(text, width())) FitTo(text, size());
}

void SteadyLabel::Settle() {
  if (size() != usual_ && Holds(text(), usual_.width())) setFixedSize(usual_);
}

bool SteadyLabel::Holds(const QString& text, int width) const {
  const QMargins frame = contentsMargins();
  const int room = width - frame.left() - frame.right() - 2 * margin();
  return !text.contains('\n') && fontMetrics().horizontalAdvance(text) <= room;
}

void SteadyLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  // Another font or style: the room needed is worked out anew.
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    const QString shown = text();
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    FitTo(widest_, {});
    usual_ = size();
    FitTo(shown, size());
    setText(shown);
  }
}

void SteadyLabel::FitTo(const QString& text, QSize atLeast) {
  const QString shown = this->text();
  setText(text);
  setFixedSize(sizeHint().expandedTo(atLeast));
  setText(shown);
}
