// PictureView shows its surface and asks for a repaint only when the picture
// differs from the one it painted last.
#include "app/windows/PictureView.h"

#include <gtest/gtest.h>

#include <QImage>

#include "display/QImageSurface.h"

namespace {

constexpr int32_t kWhite = 16777215;

}  // namespace

TEST(PictureView, RepaintsOnlyForAPictureItHasNotPainted) {
  QImageSurface surface(20, 10);
  PictureView view;
  view.resize(20, 10);
  view.SetSurface(&surface);
  EXPECT_TRUE(view.ShowIfChanged()) << "nothing painted yet";
  view.grab();  // paints
  EXPECT_FALSE(view.ShowIfChanged());
  surface.Cls();  // drawn again, the same picture
  EXPECT_FALSE(view.ShowIfChanged());

  surface.ForeColor(kWhite);
  surface.SetPixel(19, 9);  // the last pixel: the whole image is compared
  EXPECT_TRUE(view.ShowIfChanged());
  EXPECT_TRUE(view.ShowIfChanged()) << "still not painted";
  const QImage shown = view.grab().toImage();
  EXPECT_EQ(shown.pixel(19, 9), 0xffffffffu);
  EXPECT_EQ(shown.pixel(18, 9), 0xff000000u);
  EXPECT_FALSE(view.ShowIfChanged());

  surface.Resize(20, 5);  // a smaller picture
  EXPECT_TRUE(view.ShowIfChanged());
}
