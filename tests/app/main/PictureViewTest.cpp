// PictureView shows its surface and asks for a repaint of only the part that
// differs from the picture it took last.
#include "app/windows/PictureView.h"

#include <gtest/gtest.h>

#include <QImage>

#include "display/QImageSurface.h"

namespace {

constexpr int32_t kWhite = 16777215;

}  // namespace

TEST(PictureView, RepaintsOnlyForAPictureItHasNotTaken) {
  QImageSurface surface(20, 10);
  PictureView view;
  view.resize(20, 10);
  view.SetSurface(&surface);
  view.grab();  // paints
  EXPECT_FALSE(view.ShowIfChanged());
  surface.Cls();  // drawn again, the same picture
  EXPECT_FALSE(view.ShowIfChanged());

  surface.ForeColor(kWhite);
  surface.SetPixel(19, 9);  // the last pixel: the whole image is compared
  EXPECT_TRUE(view.ShowIfChanged());
  EXPECT_FALSE(view.ShowIfChanged()) << "taken already; its repaint is pending";
  const QImage shown = view.grab().toImage();
  EXPECT_EQ(shown.pixel(19, 9), 0xffffffffu);
  EXPECT_EQ(shown.pixel(18, 9), 0xff000000u);

  surface.Resize(20, 5);  // a smaller picture
  EXPECT_TRUE(view.ShowIfChanged());
}

TEST(PictureView, ChangedRectHoldsExactlyTheDifferingPixels) {
  QImage a(30, 12, QImage::Format_RGB32);
  a.fill(Qt::black);
  QImage b = a.copy();
  EXPECT_TRUE(PictureView::ChangedRect(a, b).isEmpty());
  b.setPixel(7, 3, 0xffffffffu);
  EXPECT_EQ(PictureView::ChangedRect(a, b), QRect(7, 3, 1, 1));
  // Spread over rows whose own differences lie inside and outside the span so far.
  b.setPixel(12, 5, 0xffffffffu);
  b.setPixel(2, 9, 0xffffffffu);
  b.setPixel(29, 11, 0xffffffffu);
  EXPECT_EQ(PictureView::ChangedRect(a, b), QRect(QPoint(2, 3), QPoint(29, 11)));
  b = a.copy();
  b.setPixel(0, 0, 0xff00ff00u);
  b.setPixel(29, 0, 0xff00ff00u);
  EXPECT_EQ(PictureView::ChangedRect(a, b), QRect(0, 0, 30, 1));
}

TEST(PictureView, APartialRepaintShowsTheChangedPartAndAWholeOneTheSurfaceAsItIs) {
  QImageSurface surface(40, 4);
  PictureView view;
  view.resize(80, 8);
  view.Stretch(true);  // each picture pixel is 2 x 2 on screen
  view.SetSurface(&surface);
  view.grab();
  surface.FillRect(10, 0, 12, 4, kWhite);
  ASSERT_TRUE(view.ShowIfChanged());
  QImage shown = view.grab().toImage();
  EXPECT_EQ(shown.pixel(20, 0), 0xffffffffu);
  EXPECT_EQ(shown.pixel(23, 7), 0xffffffffu);
  EXPECT_EQ(shown.pixel(24, 7), 0xff000000u);
  EXPECT_EQ(shown.pixel(19, 0), 0xff000000u);

  surface.FillRect(0, 0, 1, 4, kWhite);  // drawn without ShowIfChanged: a whole repaint takes it
  shown = view.grab().toImage();
  EXPECT_EQ(shown.pixel(0, 0), 0xffffffffu);
  EXPECT_FALSE(view.ShowIfChanged()) << "the whole repaint took the picture";
}
