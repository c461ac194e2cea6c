// A label for changing texts keeps its fixed size, growing for a wider text
// and never shrinking, so its texts never lay the window out anew.
#include "app/windows/SteadyLabel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QWidget>

namespace {

// Counts the layout requests the label's parent receives.
class LayoutRequests : public QObject {
 public:
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::LayoutRequest) ++count;
    return false;
  }
};

}  // namespace

TEST(SteadyLabel, KeepsItsSizeForTextsThatFitAndGrowsOnlyForWiderOnes) {
  QWidget window;
  auto* layout = new QHBoxLayout(&window);
  auto* label = new SteadyLabel("0:00", "10:00:00", &window);
  layout->addWidget(label);
  window.show();
  QCoreApplication::processEvents();
  const QSize first = label->size();
  EXPECT_EQ(label->minimumSize(), label->maximumSize()) << "fixed";
  EXPECT_GE(first.width(), label->fontMetrics().horizontalAdvance("10:00:00"));

  LayoutRequests requests;
  window.installEventFilter(&requests);
  for (const char* text : {"0:01", "1:02:03", "9"}) {
    label->Show(text);
    QCoreApplication::processEvents();
    EXPECT_EQ(label->text(), text);
    EXPECT_EQ(label->size(), first) << text;
  }
  EXPECT_EQ(requests.count, 0) << "texts that fit never lay the window out";

  const QString wide = "a much wider text than any length";
  label->Show(wide);
  QCoreApplication::processEvents();
  EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(wide));
  const QSize grown = label->size();
  label->Show("0:02");
  QCoreApplication::processEvents();
  EXPECT_EQ(label->size(), grown) << "never shrinks: no jumping panels";

  QFont larger = label->font();
  larger.setPointSizeF(larger.pointSizeF() * 1.5);
  label->setFont(larger);
  EXPECT_GE(label->width(), QFontMetrics(larger).horizontalAdvance("10:00:00")) << "a new font: the room anew";
}
