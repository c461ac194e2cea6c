// ClipLamp: the clip lamp of one level bar. It lights (checked) when the
// channel clips and stays lit until it is clicked (or pressed with the space
// bar) or the next recording starts; a click never lights it. Its caption is
// drawn inside the lamp, its accessible state is "checked" while lit.
#pragma once

#include <QAbstractButton>

class ClipLamp : public QAbstractButton {
  Q_OBJECT

 public:
  explicit ClipLamp(QWidget* parent = nullptr);

  void Light() { setChecked(true); }
  void PutOut() { setChecked(false); }
  bool Lit() const { return isChecked(); }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void nextCheckState() override;
};
