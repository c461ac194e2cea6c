// The least a window repainting at the display's 40 Hz costs: four pictures of
// the main window's sizes, each with a few changed pixels per tick, and
// nothing else (no audio, no drawing). whole_program.sh runs it beside the
// program to tell the toolkit's share of a tick from ours.
//
//   repaint_floor SECONDS
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPaintEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <array>
#include <cstdlib>

namespace {

class Picture : public QWidget {
 public:
  Picture(QSize size, QWidget* parent) : QWidget(parent), image_(size, QImage::Format_RGB32) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(size);
    image_.fill(Qt::black);
  }
  void Change(int tick) {
    const int x = tick % image_.width();
    image_.setPixel(x, tick % image_.height(), 0xffffffffu);
    update(x, 0, 1, image_.height());
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, image_); }

 private:
  QImage image_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  const std::array<QSize, 4> sizes{QSize(380, 150), QSize(380, 150), QSize(520, 14), QSize(520, 14)};
  std::array<Picture*, 4> pictures{};
  for (size_t i = 0; i < sizes.size(); ++i) layout->addWidget(pictures[i] = new Picture(sizes[i], &window));
  window.show();
  QTimer tick;
  tick.setInterval(25);
  tick.setTimerType(Qt::PreciseTimer);
  int ticks = 0;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    ++ticks;
    for (Picture* picture : pictures) picture->Change(ticks);
  });
  tick.start();
  QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
  return app.exec();
}
