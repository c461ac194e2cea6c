// The effects settings dialog against a real effects processor at 44100 Hz stereo.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cmath>

#include "app/windows/frmFXOpts.h"
#include "display/QImageSurface.h"
#include "display/modDraw.h"
#include "effects/clsDSP.h"

namespace {

struct Rgb {
  int red, green, blue;
  bool operator==(const Rgb&) const = default;
};

Rgb FromColourValue(int32_t colour) {
  return {colour & 255, (colour >> 8) & 255, (colour >> 16) & 255};
}

Rgb PixelAt(const QImage& image, int x, int y) {
  const QRgb pixel = image.pixel(x, y);
  return {qRed(pixel), qGreen(pixel), qBlue(pixel)};
}

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

constexpr Rgb kBackground{24, 31, 44};

class FxOptsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dsp_.samplerate(44100);
    dsp_.Channels(2);
  }

  QSlider* Slider(const QString& name) {
    auto* slider = dialog_.findChild<QSlider*>(name);
    EXPECT_NE(slider, nullptr) << name.toStdString();
    return slider;
  }
  QLabel* Label(const QString& name) {
    auto* label = dialog_.findChild<QLabel*>(name);
    EXPECT_NE(label, nullptr) << name.toStdString();
    return label;
  }
  QWidget* Page(const char* name) { return dialog_.findChild<QWidget*>(QString::fromLatin1(name)); }
  int CountBandSliders() {
    int count = 0;
    for (QSlider* slider : Page("picEQ")->findChildren<QSlider*>()) {
      if (slider->objectName().startsWith(QLatin1String("sldEQ"))) ++count;
    }
    return count;
  }
  int CountBandLabels() {
    int count = 0;
    for (QLabel* label : Page("picEQ")->findChildren<QLabel*>()) {
      if (label->objectName().startsWith(QLatin1String("lblEQID"))) ++count;
    }
    return count;
  }
  std::vector<QString> VisiblePages() {
    std::vector<QString> visible;
    for (const char* name : {"picReverb", "picShift", "picEQ", "picAmpl"}) {
      if (!Page(name)->isHidden()) visible.push_back(QString::fromLatin1(name));
    }
    return visible;
  }

  clsDSP dsp_;
  frmFXOpts dialog_;
};

TEST_F(FxOptsTest, OpeningShowsTheProcessorDefaults) {
  dialog_.Load(dsp_);
  EXPECT_EQ(Slider("sldReverbAmp")->value(), 4);
  EXPECT_EQ(Slider("sldReverbLen")->value(), 100);
  EXPECT_EQ(Slider("sldShDry")->value(), 10);
  EXPECT_EQ(Slider("sldShWet")->value(), 10);
  EXPECT_EQ(Slider("sldShFb")->value(), 5);
  EXPECT_EQ(Slider("sldShSwpRate")->value(), 10);
  EXPECT_EQ(Slider("sldShSwpRange")->value(), 40);
  EXPECT_EQ(Slider("sldShFreq")->value(), 100);
  EXPECT_EQ(Slider("sldAmplDB")->value(), 3);
  EXPECT_EQ(Label("lblAmplDB")->text(), QStringLiteral("3 dB"));
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Slider(QStringLiteral("sldEQ%1").arg(i))->value(), 0) << i;
}

TEST_F(FxOptsTest, FillingRoundsHalfToEvenAndWritesNothingBack) {
  dsp_.EchoAmp(0.25f);                // 2.5 tenths -> 2
  dsp_.PhaseShiftFrequency(12.5f);    // -> 12
  dsp_.PhaseShiftSweepRate(0.35f);    // 3.4999... tenths in single precision -> 3
  dsp_.EqualizerBandGainDB(1, 4.5f);  // slider -4.5 -> -4
  dsp_.AmplifyDB(-5);
  dialog_.Load(dsp_);
  EXPECT_EQ(Slider("sldReverbAmp")->value(), 2);
  EXPECT_EQ(Slider("sldShFreq")->value(), 12);
  EXPECT_EQ(Slider("sldShSwpRate")->value(), 3);
  EXPECT_EQ(Slider("sldEQ1")->value(), -4);
  EXPECT_EQ(Label("lblAmplDB")->text(), QStringLiteral("-5 dB"));
  // The processor keeps its exact values: filling runs no change handler.
  EXPECT_FLOAT_EQ(dsp_.EchoAmp(), 0.25f);
  EXPECT_FLOAT_EQ(dsp_.PhaseShiftFrequency(), 12.5f);
  EXPECT_FLOAT_EQ(dsp_.PhaseShiftSweepRate(), 0.35f);
  EXPECT_FLOAT_EQ(dsp_.EqualizerBandGainDB(1), 4.5f);
}

TEST_F(FxOptsTest, SlidersHaveTheirRangesStepsAndTicks) {
  dialog_.Load(dsp_);
  struct Expect {
    const char* name;
    int minimum, maximum;
    QSlider::TickPosition ticks;
  };
  const Expect table[] = {
      {"sldReverbLen", 1, 1000, QSlider::NoTicks},  {"sldReverbAmp", 1, 9, QSlider::TicksBelow},
      {"sldShDry", -10, 10, QSlider::NoTicks},      {"sldShWet", -10, 10, QSlider::NoTicks},
      {"sldShFb", -9, 9, QSlider::NoTicks},         {"sldShSwpRate", 1, 15, QSlider::NoTicks},
      {"sldShSwpRange", 30, 60, QSlider::NoTicks},  {"sldShFreq", -10, 150, QSlider::NoTicks},
      {"sldAmplDB", -12, 12, QSlider::TicksBelow},  {"sldEQ0", -12, 12, QSlider::TicksBothSides},
      {"sldEQ6", -12, 12, QSlider::TicksBothSides},
  };
  for (const Expect& e : table) {
    QSlider* slider = Slider(QString::fromLatin1(e.name));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimum(), e.minimum) << e.name;
    EXPECT_EQ(slider->maximum(), e.maximum) << e.name;
    EXPECT_EQ(slider->tickPosition(), e.ticks) << e.name;
    EXPECT_EQ(slider->singleStep(), 1) << e.name;
    EXPECT_EQ(slider->pageStep(), 5) << e.name;
  }
  // Band sliders stand upright with their minimum (+12 dB) at the top.
  QSlider* band = Slider("sldEQ3");
  EXPECT_EQ(band->orientation(), Qt::Vertical);
  EXPECT_TRUE(band->invertedAppearance());
}

TEST_F(FxOptsTest, SlidersWriteTheProcessorAsTheyMove) {
  dialog_.Load(dsp_);
  Slider("sldReverbAmp")->setValue(7);
  EXPECT_FLOAT_EQ(dsp_.EchoAmp(), 0.7f);
  Slider("sldReverbLen")->setValue(250);
  EXPECT_EQ(dsp_.EchoLength(), 250);
  Slider("sldShDry")->setValue(-3);
  EXPECT_FLOAT_EQ(dsp_.PhaseShiftDry(), -0.3f);
  Slider("sldShWet")->setValue(2);
  EXPECT_FLOAT_EQ(dsp_.PhaseShiftWet(), 0.2f);
  Slider("sldShFb")->setValue(-9);
  EXPECT_FLOAT_EQ(dsp_.PhaseShiftFeedback(), -0.9f);
  Slider("sldShSwpRate")->setValue(15);
  EXPECT_FLOAT_EQ(dsp_.PhaseShiftSweepRate(), 1.5f);
  Slider("sldShSwpRange")->setValue(30);
  EXPECT_FLOAT_EQ(dsp_.PhaseShiftSweepRange(), 3.0f);
  Slider("sldShFreq")->setValue(-10);
  EXPECT_FLOAT_EQ(dsp_.PhaseShiftFrequency(), -10.0f);
  Slider("sldAmplDB")->setValue(-12);
  EXPECT_EQ(dsp_.AmplifyDB(), -12);
  EXPECT_EQ(Label("lblAmplDB")->text(), QStringLiteral("-12 dB"));

  // Keys move in steps of 1 (arrows) and 5 (page keys) and write at once.
  QSlider* length = Slider("sldReverbLen");
  QTest::keyClick(length, Qt::Key_PageUp);
  EXPECT_EQ(dsp_.EchoLength(), 255);
  QTest::keyClick(length, Qt::Key_Left);
  EXPECT_EQ(dsp_.EchoLength(), 254);
}

TEST_F(FxOptsTest, BandSliderWritesTheNegatedGainAndRedrawsTheCurve) {
  dialog_.Load(dsp_);
  const QImage flat = dialog_.CurveSurface().image().copy();
  Slider("sldEQ0")->setValue(-12);  // top
  EXPECT_FLOAT_EQ(dsp_.EqualizerBandGainDB(0), 12.0f);
  Slider("sldEQ6")->setValue(12);  // bottom
  EXPECT_FLOAT_EQ(dsp_.EqualizerBandGainDB(6), -12.0f);
  EXPECT_FLOAT_EQ(dsp_.EqualizerBandGainDB(3), 0.0f);
  EXPECT_NE(dialog_.CurveSurface().image(), flat);
}

TEST_F(FxOptsTest, RightButtonReleaseResetsABandToZero) {
  dialog_.Load(dsp_);
  QSlider* band = Slider("sldEQ2");
  band->setValue(-7);
  ASSERT_FLOAT_EQ(dsp_.EqualizerBandGainDB(2), 7.0f);
  const QImage raised = dialog_.CurveSurface().image().copy();

  QTest::mouseRelease(band, Qt::LeftButton, {}, band->rect().center());
  EXPECT_EQ(band->value(), -7) << "only the right button resets";

  QTest::mouseRelease(band, Qt::RightButton, {}, band->rect().center());
  EXPECT_EQ(band->value(), 0);
  EXPECT_FLOAT_EQ(dsp_.EqualizerBandGainDB(2), 0.0f);
  EXPECT_NE(dialog_.CurveSurface().image(), raised);
  EXPECT_EQ(Slider("sldEQ1")->value(), 0);

  // Released outside the slider (the button was dragged away): no reset.
  band->setValue(5);
  QTest::mouseRelease(band, Qt::RightButton, {}, QPoint(band->width() + 30, 5));
  EXPECT_EQ(band->value(), 5);
}

TEST_F(FxOptsTest, BandLabelsAt44100ReadFromLeftToRight) {
  dialog_.Load(dsp_);
  const QStringList expected = {"80 Hz", "191 Hz", "455 Hz", "1 kHz", "2 kHz", "6 kHz", "14 kHz"};
  int previousSliderLeft = -1000;
  for (int i = 0; i < 7; ++i) {
    QLabel* label = Label(QStringLiteral("lblEQID%1").arg(i));
    QSlider* slider = Slider(QStringLiteral("sldEQ%1").arg(i));
    EXPECT_EQ(label->text(), expected[i]) << i;
    // Each label stands under its slider, the sliders side by side 20 pixels apart.
    EXPECT_LE(std::abs(label->geometry().center().x() - slider->geometry().center().x()), 2) << i;
    if (i > 0) {
      EXPECT_EQ(slider->x() - previousSliderLeft, slider->width() + 20) << i;
    }
    previousSliderLeft = slider->x();
    EXPECT_LE(slider->geometry().right(), Page("picEQ")->width()) << i;
  }
}

TEST(FxOptsHelpers, BandLabelTextSwitchesToKilohertzAbove1000) {
  EXPECT_EQ(frmFXOpts::BandLabelText(250), QStringLiteral("250 Hz"));
  EXPECT_EQ(frmFXOpts::BandLabelText(1000), QStringLiteral("1000 Hz"));
  EXPECT_EQ(frmFXOpts::BandLabelText(1001), QStringLiteral("1 kHz"));
  EXPECT_EQ(frmFXOpts::BandLabelText(1999), QStringLiteral("1 kHz"));
  EXPECT_EQ(frmFXOpts::BandLabelText(14700), QStringLiteral("14 kHz"));
}

TEST(FxOptsHelpers, CosineInterpolateMeetsItsEndsFlat) {
  EXPECT_DOUBLE_EQ(frmFXOpts::CosineInterpolate(2, 10, 0), 2);
  EXPECT_NEAR(frmFXOpts::CosineInterpolate(2, 10, 1), 10, 1e-12);
  EXPECT_NEAR(frmFXOpts::CosineInterpolate(2, 10, 0.5), 6, 1e-12);
  // Flat at the ends: a tiny step moves it far less than linearly.
  EXPECT_LT(frmFXOpts::CosineInterpolate(0, 1, 0.01), 0.001);
  EXPECT_GT(frmFXOpts::CosineInterpolate(0, 1, 0.99), 0.999);
}

TEST_F(FxOptsTest, ReopeningBuildsTheBandControlsAnew) {
  dialog_.Load(dsp_);
  ASSERT_EQ(CountBandSliders(), 7);
  dialog_.Load(dsp_);
  EXPECT_EQ(CountBandSliders(), 7);
  EXPECT_EQ(CountBandLabels(), 7);

  dsp_.EqualizerBands(4);
  dsp_.EqualizerBandGainDB(3, -6.0f);
  dialog_.Load(dsp_);
  EXPECT_EQ(CountBandSliders(), 4);
  EXPECT_EQ(CountBandLabels(), 4);
  EXPECT_EQ(Slider("sldEQ3")->value(), 6);
  EXPECT_EQ(dialog_.findChild<QSlider*>(QStringLiteral("sldEQ4")), nullptr);

  // A slider built at run time acts like the design-time one.
  Slider("sldEQ3")->setValue(-2);
  EXPECT_FLOAT_EQ(dsp_.EqualizerBandGainDB(3), 2.0f);
  QTest::mouseRelease(Slider("sldEQ3"), Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_FLOAT_EQ(dsp_.EqualizerBandGainDB(3), 0.0f);
}

TEST_F(FxOptsTest, TenBandsStillFitOnThePage) {
  dsp_.EqualizerBands(10);
  dialog_.Load(dsp_);
  ASSERT_EQ(CountBandSliders(), 10);
  const int pageWidth = Page("picEQ")->width();
  int previousRight = -1;
  for (int i = 0; i < 10; ++i) {
    QSlider* slider = Slider(QStringLiteral("sldEQ%1").arg(i));
    EXPECT_GT(slider->x(), previousRight) << i;
    EXPECT_LE(slider->geometry().right(), pageWidth) << i;
    previousRight = slider->geometry().right();
  }
  // Their labels stay on the page and do not overlap each other.
  for (int i = 0; i < 10; ++i) {
    const QRect label = Label(QStringLiteral("lblEQID%1").arg(i))->geometry();
    EXPECT_GE(label.left(), 0) << i;
    EXPECT_LE(label.right(), pageWidth) << i;
    if (i > 0) {
      EXPECT_FALSE(label.intersects(Label(QStringLiteral("lblEQID%1").arg(i - 1))->geometry())) << i;
    }
  }
  EXPECT_EQ(Label("lblEQID9")->text(), QStringLiteral("14 kHz"));
}

TEST_F(FxOptsTest, EachTabShowsExactlyItsPageAndReopeningReturnsToTheFirst) {
  dialog_.Load(dsp_);
  auto* strip = dialog_.findChild<QTabBar*>(QStringLiteral("strip"));
  ASSERT_NE(strip, nullptr);
  ASSERT_EQ(strip->count(), 4);
  const char* captions[] = {"回响", "周相移动", "均衡器", "放大器"};
  const char* pages[] = {"picReverb", "picShift", "picEQ", "picAmpl"};
  EXPECT_EQ(VisiblePages(), std::vector<QString>{QStringLiteral("picReverb")});
  for (int i : {2, 1, 3, 0, 2}) {
    EXPECT_EQ(strip->tabText(i), QString::fromUtf8(captions[i]));
    strip->setCurrentIndex(i);
    EXPECT_EQ(VisiblePages(), std::vector<QString>{QString::fromLatin1(pages[i])}) << i;
  }
  dialog_.Load(dsp_);
  EXPECT_EQ(strip->currentIndex(), 0);
  EXPECT_EQ(VisiblePages(), std::vector<QString>{QStringLiteral("picReverb")});
}

TEST_F(FxOptsTest, FlatCurveIsOneRowAtMidHeightNearOrange) {
  dialog_.Load(dsp_);
  const QImageSurface& surface = dialog_.CurveSurface();
  const QImage image = surface.image();
  const int H = static_cast<int>(std::nearbyint(surface.ScaleHeight()));
  const int W = static_cast<int>(std::nearbyint(surface.ScaleWidth()));
  const int dx = static_cast<int>(std::nearbyint((W - 10) / 7.0));
  const int firstX = dx - 4, lastX = 7 * dx - 4;
  const int row = static_cast<int>(std::nearbyint(H / 2.0 - 0.5));
  const Rgb expected = FromColourValue(modDraw::GradientColor(
      static_cast<float>(H), static_cast<float>(row), 74428, modDraw::kOrange, -13312));
  const Rgb orange{225, 168, 34};
  EXPECT_LE(std::abs(expected.red - orange.red) + std::abs(expected.green - orange.green) +
                std::abs(expected.blue - orange.blue),
            24);
  for (int x = firstX; x < lastX; ++x) {
    EXPECT_EQ(PixelAt(image, x, row), expected) << "x " << x;
  }
  // Nothing of the curve above or below the row, away from the grid lines.
  for (int x = firstX + 1; x < lastX; ++x) {
    if ((x + 4) % dx == 0) continue;
    for (int y = 0; y < H; ++y) {
      if (y == row) continue;
      EXPECT_EQ(PixelAt(image, x, y), kBackground) << "x " << x << " y " << y;
    }
  }
  // Grid lines of the bands from y = 2 to H - 3 in their own colour.
  EXPECT_EQ(PixelAt(image, firstX + dx, 2), (Rgb{94, 88, 66}));
  EXPECT_EQ(PixelAt(image, firstX + dx, H - 3), (Rgb{94, 88, 66}));
  EXPECT_EQ(PixelAt(image, firstX + dx, H - 2), kBackground);
}

TEST_F(FxOptsTest, RaisedBandReachesTheTopInTheTopColour) {
  dsp_.EqualizerBandGainDB(3, 12.0f);
  dialog_.Load(dsp_);
  const QImageSurface& surface = dialog_.CurveSurface();
  const QImage image = surface.image();
  const int W = static_cast<int>(std::nearbyint(surface.ScaleWidth()));
  const int dx = static_cast<int>(std::nearbyint((W - 10) / 7.0));
  const int peakX = 4 * dx - 4;
  EXPECT_EQ(PixelAt(image, peakX, 0), (Rgb{188, 34, 1}));
  // The neighbours of the peak are still near the middle.
  const int row = static_cast<int>(std::nearbyint(surface.ScaleHeight() / 2.0 - 0.5));
  EXPECT_NE(PixelAt(image, dx - 4, row), kBackground);
  EXPECT_NE(PixelAt(image, 7 * dx - 5, row), kBackground);
}

TEST_F(FxOptsTest, ShowExIsModalOverItsOwnerAndTheCloseButtonEndsIt) {
  QWidget owner;
  owner.resize(600, 400);
  owner.show();
  dsp_.EchoLength(321);
  bool sawDialog = false;
  QTimer::singleShot(0, &dialog_, [&] {
    sawDialog = dialog_.isVisible() && dialog_.isModal() && dialog_.windowHandle() != nullptr &&
                dialog_.windowHandle()->transientParent() == owner.windowHandle();
    // The owner is blocked, but does not own the dialog.
    EXPECT_NE(dialog_.parentWidget(), &owner);
    EXPECT_TRUE(owner.isVisible());
    EXPECT_EQ(Slider("sldReverbLen")->value(), 321);
    auto* close = dialog_.findChild<QPushButton*>(QStringLiteral("cmdClose"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("关闭"));
    EXPECT_TRUE(dialog_.rect().contains(close->geometry()));
    close->click();
  });
  dialog_.ShowEx(dsp_, &owner);
  EXPECT_TRUE(sawDialog);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("特效设置"));
  EXPECT_EQ(dsp_.EchoLength(), 321);  // closing writes nothing
}

}  // namespace
