// LevelScale: the dBFS scale under the level bars, -60 to 0 dB with a tick
// every 6 dB, placed where the bars (linear in amplitude) reach each level.
// Labels go from 0 dB down as long as they fit beside each other; the picture
// is made once per size, not per display tick.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <vector>

class LevelScale : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kLowestDb = -60;
  static constexpr int kStepDb = 6;

  explicit LevelScale(QWidget* parent = nullptr);

  // Where the tick of `dB` falls on a bar `width` pixels wide.
  static int TickX(int dB, int width);
  // The levels labelled at `width`, loudest first.
  std::vector<int> LabelledLevels(int width) const;
  static QString Label(int dB);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The left and right edge of the label of `dB` at `width`.
  std::pair<int, int> LabelSpan(int dB, int width) const;
  void Render();

  QPixmap picture_;
};
