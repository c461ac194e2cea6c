// GDI-like drawing on the QImage surface: exclusive end points and edges,
// the current position, colour values with red in the low byte.
#include "display/QImageSurface.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int32_t kWhite = 16777215;
constexpr QRgb kBlackPx = 0xff000000;
constexpr QRgb kWhitePx = 0xffffffff;

// Rows of the image as text, '#' for white, '.' for black, '?' otherwise.
std::string Ascii(const QImage& img) {
  std::string s;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      s += p == kWhitePx ? '#' : p == kBlackPx ? '.' : '?';
    }
    s += '\n';
  }
  return s;
}

}  // namespace

TEST(QImageSurface, StartsClearedToItsBackColourAndReportsItsSize) {
  QImageSurface s(7, 5, 255);
  EXPECT_EQ(s.ScaleWidth(), 7.0f);
  EXPECT_EQ(s.ScaleHeight(), 5.0f);
  EXPECT_EQ(s.image().pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(s.image().pixel(6, 4), qRgb(255, 0, 0));
  s.Resize(3, 2);
  EXPECT_EQ(s.image().size(), QSize(3, 2));
  EXPECT_EQ(s.image().pixel(2, 1), qRgb(255, 0, 0));
}

TEST(QImageSurface, LineToLeavesOutItsEndPointAndMovesThere) {
  QImageSurface s(8, 6);
  s.ForeColor(kWhite);
  s.MoveTo(1, 1);
  s.LineTo(5, 1);  // x 1..4
  s.LineTo(5, 4);  // continues from (5, 1): y 1..3
  s.LineTo(5, 4);  // zero length: nothing
  s.MoveTo(0, 5);
  s.LineTo(0, 5);
  EXPECT_EQ(Ascii(s.image()),
            "........\n"
            ".#####..\n"
            ".....#..\n"
            ".....#..\n"
            "........\n"
            "........\n");
}

TEST(QImageSurface, DiagonalLinesAreConnectedAndExcludeTheEnd) {
  QImageSurface s(6, 6);
  s.ForeColor(kWhite);
  s.MoveTo(0, 0);
  s.LineTo(5, 5);
  EXPECT_EQ(Ascii(s.image()),
            "#.....\n"
            ".#....\n"
            "..#...\n"
            "...#..\n"
            "....#.\n"
            "......\n");
}

TEST(QImageSurface, LinesDrawnUpwardsOrLeftwardsKeepTheirStartAndLeaveOutTheirEnd) {
  QImageSurface s(6, 6);
  s.ForeColor(kWhite);
  s.MoveTo(1, 5);
  s.LineTo(1, 1);  // y 5..2
  s.LineTo(3, 5);  // steep, downwards again: from (1, 1)
  s.MoveTo(5, 0);
  s.LineTo(2, 0);  // x 5..3
  EXPECT_EQ(Ascii(s.image()),
            "...###\n"
            ".#....\n"
            ".##...\n"
            ".##...\n"
            ".#.#..\n"
            ".#....\n");
}

TEST(QImageSurface, LinesReachingFarOutsideAreClippedToTheImage) {
  QImageSurface s(6, 4);
  s.ForeColor(kWhite);
  s.MoveTo(-2000000000, 1);
  s.LineTo(2000000000, 1);  // through the whole row
  s.MoveTo(3, 2000000000);
  s.LineTo(3, -2000000000);  // upwards through the whole column
  s.MoveTo(-1000, 2);        // enters at the left edge
  s.LineTo(2, 2);
  EXPECT_EQ(Ascii(s.image()),
            "...#..\n"
            "######\n"
            "##.#..\n"
            "...#..\n");
}

TEST(QImageSurface, FillRectHasExclusiveRightAndBottomEdges) {
  QImageSurface s(6, 5);
  s.FillRect(1, 1, 4, 3, kWhite);
  s.FillRect(5, 0, 5, 5, kWhite);  // empty: zero width
  s.FillRect(3, 4, 1, 2, kWhite);  // inverted: nothing
  EXPECT_EQ(Ascii(s.image()),
            "......\n"
            ".###..\n"
            ".###..\n"
            "......\n"
            "......\n");
  s.FillRect(0, 0, 1, 1, 65280 + 50 * 65536);  // green 255, blue 50
  EXPECT_EQ(s.image().pixel(0, 0), qRgb(0, 255, 50));
}

TEST(QImageSurface, RectangleOutlinesWithThePenAndFillsWithTheFillColour) {
  QImageSurface s(7, 6);
  s.FillColor(255);  // red inside
  s.ForeColor(kWhite);
  s.Rectangle(1, 1, 6, 5);  // covers x 1..5, y 1..4
  const QImage& img = s.image();
  EXPECT_EQ(Ascii(img),
            ".......\n"
            ".#####.\n"
            ".#???#.\n"
            ".#???#.\n"
            ".#####.\n"
            ".......\n");
  EXPECT_EQ(img.pixel(3, 2), qRgb(255, 0, 0));

  // A black pen and the (black) back colour as fill erase everything.
  QImageSurface t(5, 4);
  t.ForeColor(kWhite);
  t.FillRect(0, 0, 5, 4, kWhite);
  t.ForeColor(0);
  t.Rectangle(0, 0, 5, 4);
  EXPECT_EQ(Ascii(t.image()), ".....\n.....\n.....\n.....\n");
}

TEST(QImageSurface, ClsAndSetPixelAndDrawingAfterTheImageWasRead) {
  QImageSurface s(4, 3);
  s.ForeColor(kWhite);
  s.SetPixel(2, 1);
  EXPECT_EQ(s.image().pixel(2, 1), kWhitePx);
  // Painting resumes after a read; the copy taken before keeps its contents.
  const QImage before = s.image();
  s.MoveTo(3, 1);
  s.SetPixel(0, 0);  // does not move the current position
  s.LineTo(3, 3);
  EXPECT_EQ(Ascii(s.image()),
            "#...\n"
            "..##\n"
            "...#\n");
  EXPECT_EQ(before.pixel(0, 0), kBlackPx);
  const QImage beforeFill = s.image();
  s.FillRect(0, 0, 4, 3, kWhite);  // drawn on a shared image
  s.Rectangle(0, 0, 4, 3);
  EXPECT_EQ(beforeFill.pixel(1, 2), kBlackPx);
  EXPECT_EQ(s.image().pixel(1, 2), kWhitePx);

  s.BackColor(255);
  s.Cls();
  EXPECT_EQ(s.image().pixel(3, 2), qRgb(255, 0, 0));
  s.LineTo(2, 0);  // Cls moved the current position to (0, 0)
  EXPECT_EQ(s.image().pixel(0, 0), kWhitePx);
  EXPECT_EQ(s.image().pixel(1, 0), kWhitePx);
  EXPECT_EQ(s.image().pixel(2, 0), qRgb(255, 0, 0));
}
