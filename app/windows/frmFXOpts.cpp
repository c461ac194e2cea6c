#include "app/windows/frmFXOpts.h"

#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabBar>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "app/windows/AccessibleNames.h"
#include "app/windows/PictureView.h"
#include "app/windows/SpokenSlider.h"
#include "common/SampleMath.h"
#include "display/QImageSurface.h"
#include "display/modDraw.h"
#include "effects/clsDSP.h"

namespace {

// Design positions are in twips; the screen has 15 twips per pixel (96 dpi).
constexpr double kTwipsPerPixel = 15.0;

int Px(double twips) { return RoundToInt32(twips / kTwipsPerPixel); }

// Client area, tab strip and pages as designed (twips).
constexpr int kClientWidth = 6585;
constexpr int kClientHeight = 3750;
constexpr int kStripLeft = 120, kStripTop = 120, kStripWidth = 6405, kStripHeight = 3540;
constexpr int kPageLeft = 240, kPageTop = 480, kPageWidth = 6225, kPageHeight = 3090;

// The close button sits in a row of its own below the tab strip (pixels).
constexpr int kCloseWidth = 80, kCloseHeight = 26, kMargin = 8;
constexpr int kLabelGap = 4;  // between a caption and its slider

// Band controls (twips): the design-time slider and label of the band arrays.
constexpr int kBandSliderTop = 840, kBandSliderWidth = 525, kBandSliderHeight = 1515;
constexpr int kBandLabelTop = 2325, kBandLabelWidth = 105, kBandLabelHeight = 195;
constexpr int kBandGapPixels = 20;    // between neighbouring band sliders
constexpr int kBandLabelIndent = 15;  // pixels from a slider's left edge to its label's
constexpr int kBandMin = -12, kBandMax = 12;

// Curve surface (twips) and its colours (red in the low byte).
constexpr int kCurveLeft = 1935, kCurveTop = 225, kCurveWidth = 2715, kCurveHeight = 345;
constexpr int32_t kCurveBack = 2891544;    // (24, 31, 44)
constexpr int32_t kCurveGrid = 4347998;    // (94, 88, 66)
constexpr int32_t kCurveStart = 8625831;   // (167, 158, 131)
constexpr int32_t kCurveTop1 = 74428;      // (188, 34, 1) at the top
constexpr int32_t kCurveMiddle = modDraw::kOrange;  // at mid-height
constexpr int32_t kCurveBottom = -13312;   // green (0, 204, 0) at the bottom

struct TabPage {
  const char* caption;
  const char* key;
};
constexpr TabPage kTabs[] = {
    {QT_TRANSLATE_NOOP("frmFXOpts", "回响"), "ECHO"},
    {QT_TRANSLATE_NOOP("frmFXOpts", "周相移动"), "SHIFT"},
    {QT_TRANSLATE_NOOP("frmFXOpts", "均衡器"), "EQ"},
    {QT_TRANSLATE_NOOP("frmFXOpts", "放大器"), "AMPL"}};

// Values of a tenth-step slider <-> the processor's float property.
float Tenths(int value) { return static_cast<float>(value / 10.0); }
int FromTenths(float value) { return RoundToInt32(static_cast<double>(value) * 10.0); }

// Names `slider` after its caption `label` and speaks it in the setting's units.
void Speak(QSlider* slider, QLabel* label, double perStep, int decimals, const QString& suffix) {
  AccessibleNames::NameAfter(*slider, *label);
  SpokenSlider::Describe(*slider, SpokenSlider::Linear(perStep, decimals, suffix));
}

void SetQuietly(QSlider* slider, int value) {
  const QSignalBlocker blocker(slider);
  slider->setValue(value);
}

}  // namespace

frmFXOpts::frmFXOpts(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frmFXOpts"));
  setWindowTitle(tr("特效设置"));
  setModal(true);
  // The design assumes a 9-point face: 12-pixel Chinese glyphs at 96 dpi.
  QFont designFont = font();
  designFont.setPointSize(9);
  setFont(designFont);
  SpokenSlider::Install();  // before the sliders: Qt keeps the first reading it makes of each
  BuildPages();
}

frmFXOpts::~frmFXOpts() = default;

void frmFXOpts::BuildPages() {
  strip_ = new QTabBar(this);
  strip_->setObjectName(QStringLiteral("strip"));
  strip_->setDrawBase(false);
  strip_->setExpanding(false);
  for (const TabPage& tab : kTabs) {
    const int index = strip_->addTab(tr(tab.caption));
    strip_->setTabData(index, QString::fromLatin1(tab.key));
  }
  const int tabHeight = strip_->sizeHint().height();
  strip_->setGeometry(Px(kStripLeft), Px(kStripTop), Px(kStripWidth), tabHeight);

  // The strip's body frames the pages; the pages lie on top of each other inside it.
  const int bodyTop = Px(kStripTop) + tabHeight - 1;
  const int bodyBottom = Px(kStripTop + kStripHeight);
  stripBody_ = new QFrame(this);
  stripBody_->setObjectName(QStringLiteral("stripBody"));
  stripBody_->setFrameShape(QFrame::StyledPanel);
  stripBody_->setGeometry(Px(kStripLeft), bodyTop, Px(kStripWidth), bodyBottom - bodyTop);
  stripBody_->lower();

  // A tall tab row (large fonts) pushes the pages down instead of covering the tabs.
  const int pageTop = std::max(Px(kPageTop), bodyTop + 4);
  const int pageHeight = std::min(Px(kPageHeight), bodyBottom - 4 - pageTop);
  auto makePage = [&](const char* name) {
    auto* page = new QWidget(this);
    page->setObjectName(QString::fromLatin1(name));
    page->setGeometry(Px(kPageLeft), pageTop, Px(kPageWidth), pageHeight);
    page->hide();
    return page;
  };
  picReverb_ = makePage("picReverb");
  picShift_ = makePage("picShift");
  picEQ_ = makePage("picEQ");
  picAmpl_ = makePage("picAmpl");

  BuildEchoPage();
  BuildShiftPage();
  BuildEqualizerPage();
  BuildAmplifierPage();
  for (QWidget* page : {picReverb_, picShift_, picAmpl_}) KeepLabelsBeforeSliders(page);

  cmdClose_ = new QPushButton(tr("关闭"), this);
  cmdClose_->setObjectName(QStringLiteral("cmdClose"));
  const int clientWidth = Px(kClientWidth);
  const int closeTop = std::max(Px(kClientHeight), bodyBottom + kMargin);
  cmdClose_->setGeometry(clientWidth - kMargin - kCloseWidth, closeTop, kCloseWidth, kCloseHeight);
  connect(cmdClose_, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(clientWidth, closeTop + kCloseHeight + kMargin);

  connect(strip_, &QTabBar::currentChanged, this, [this] { OnTabChanged(); });
  OnTabChanged();
}

QSlider* frmFXOpts::AddSlider(QWidget* page, const QString& name, int minimum, int maximum,
                              int value, Qt::Orientation orientation, int tickPosition, int left,
                              int top, int width, int height) {
  auto* slider = new QSlider(orientation, page);
  slider->setObjectName(name);
  slider->setRange(minimum, maximum);
  slider->setSingleStep(1);
  slider->setPageStep(5);
  slider->setTickPosition(static_cast<QSlider::TickPosition>(tickPosition));
  slider->setTickInterval(1);
  slider->setValue(value);
  slider->setGeometry(Px(left), Px(top), Px(width), Px(height));
  return slider;
}

QLabel* frmFXOpts::AddLabel(QWidget* page, const char* name, const QString& caption, int left,
                            int top, int width, int height) {
  auto* label = new QLabel(caption, page);
  label->setObjectName(QString::fromLatin1(name));
  // The designed boxes are tight; a label grows to its text (to the right, and
  // evenly up and down) rather than clip it.
  const QSize need = label->sizeHint();
  const int w = std::max(Px(width), need.width());
  const int h = std::max(Px(height), need.height());
  label->setGeometry(Px(left), Px(top) - (h - Px(height)) / 2, w, h);
  return label;
}

void frmFXOpts::KeepLabelsBeforeSliders(QWidget* page) {
  // A caption longer than its designed box (another language, large fonts)
  // would run into the slider after it: it moves left, and where the page's
  // margin is not room enough, the slider gives up the rest of its left end.
  for (QLabel* label : page->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
    const QRect text(label->pos(), label->sizeHint());
    for (QSlider* slider : page->findChildren<QSlider*>(Qt::FindDirectChildrenOnly)) {
      const QRect bar = slider->geometry();
      const bool before = text.left() < bar.left() && text.top() < bar.bottom() && text.bottom() > bar.top();
      if (!before || text.right() + kLabelGap < bar.left()) continue;
      const int left = std::max(kLabelGap, bar.left() - kLabelGap - text.width());
      label->setGeometry(left, label->y(), text.width(), label->height());
      const int shift = left + text.width() + kLabelGap - bar.left();
      if (shift > 0) slider->setGeometry(bar.adjusted(shift, 0, 0, 0));
    }
  }
}

void frmFXOpts::BuildEchoPage() {
  QLabel* length = AddLabel(picReverb_, "lblReverbLen", tr("长度 (毫秒):"), 780, 420, 870, 195);
  sldReverbLen_ = AddSlider(picReverb_, QStringLiteral("sldReverbLen"), 1, 1000, 1, Qt::Horizontal,
                            QSlider::NoTicks, 1770, 390, 3615, 405);
  Speak(sldReverbLen_, length, 1, 0, QStringLiteral(" ms"));
  AddLabel(picReverb_, "lbl1ms", QStringLiteral("1 ms"), 1875, 765, 330, 195);
  AddLabel(picReverb_, "lbl1000ms", QStringLiteral("1000 ms"), 4650, 765, 600, 195);
  QLabel* strength = AddLabel(picReverb_, "lblReverbFactor", tr("音效增强:"), 780, 1185, 915, 195);
  sldReverbAmp_ = AddSlider(picReverb_, QStringLiteral("sldReverbAmp"), 1, 9, 1, Qt::Horizontal,
                            QSlider::TicksBelow, 1770, 1170, 3615, 405);
  Speak(sldReverbAmp_, strength, 10, 0, QStringLiteral("%"));  // the echo's feedback, in tenths

  Bind(sldReverbLen_, [](const clsDSP& dsp) { return dsp.EchoLength(); },
       [](clsDSP& dsp, int value) { dsp.EchoLength(value); });
  Bind(sldReverbAmp_, [](const clsDSP& dsp) { return FromTenths(dsp.EchoAmp()); },
       [](clsDSP& dsp, int value) { dsp.EchoAmp(Tenths(value)); });
}

void frmFXOpts::Bind(QSlider* slider, std::function<int(const clsDSP&)> read,
                     std::function<void(clsDSP&, int)> write) {
  connect(slider, &QSlider::valueChanged, this,
          [this, write](int value) { Write([&](clsDSP& dsp) { write(dsp, value); }); });
  settingSliders_.push_back({slider, std::move(read)});
}

void frmFXOpts::BuildShiftPage() {
  struct Row {
    const char* label;
    const char* caption;
    int labelWidth;
    const char* slider;
    int minimum, maximum, value;
    int top;
    float (clsDSP::*read)() const;
    void (clsDSP::*write)(float);
    bool tenths;
    double spokenPerStep;  // the setting's spoken unit per step
    int spokenDecimals;
    const char* spokenSuffix;
  };
  const Row rows[] = {
      {"lblShDry", QT_TR_NOOP("Dry:"), 555, "sldShDry", -10, 10, 10, 255, &clsDSP::PhaseShiftDry,
       &clsDSP::PhaseShiftDry, true, 10, 0, "%"},
      {"lblShWet", QT_TR_NOOP("Wet:"), 465, "sldShWet", -10, 10, 10, 570, &clsDSP::PhaseShiftWet,
       &clsDSP::PhaseShiftWet, true, 10, 0, "%"},
      {"lblShFb", QT_TR_NOOP("回放:"), 825, "sldShFb", -9, 9, 5, 885, &clsDSP::PhaseShiftFeedback,
       &clsDSP::PhaseShiftFeedback, true, 10, 0, "%"},
      {"lblSwpRt", QT_TR_NOOP("扫描速度:"), 930, "sldShSwpRate", 1, 15, 10, 1200, &clsDSP::PhaseShiftSweepRate,
       &clsDSP::PhaseShiftSweepRate, true, 0.1, 1, " Hz"},
      {"lblShSwpRange", QT_TR_NOOP("扫描范围:"), 1065, "sldShSwpRange", 30, 60, 40, 1515,
       &clsDSP::PhaseShiftSweepRange, &clsDSP::PhaseShiftSweepRange, true, 0.1, 1, QT_TR_NOOP(" 倍频程")},
      {"lblShFreq", QT_TR_NOOP("频率:"), 1185, "sldShFreq", -10, 150, 100, 1830, &clsDSP::PhaseShiftFrequency,
       &clsDSP::PhaseShiftFrequency, false, 1, 0, " Hz"},
  };
  for (const Row& row : rows) {
    QLabel* label = AddLabel(picShift_, row.label, tr(row.caption), 270, row.top, row.labelWidth, 195);
    QSlider* slider =
        AddSlider(picShift_, QString::fromLatin1(row.slider), row.minimum, row.maximum, row.value,
                  Qt::Horizontal, QSlider::NoTicks, 1530, row.top, 4125, 270);
    Speak(slider, label, row.spokenPerStep, row.spokenDecimals, tr(row.spokenSuffix));
    const auto [read, write, tenths] = std::tuple(row.read, row.write, row.tenths);
    Bind(slider, [=](const clsDSP& dsp) { return tenths ? FromTenths((dsp.*read)()) : RoundToInt32((dsp.*read)()); },
         [=](clsDSP& dsp, int value) { (dsp.*write)(tenths ? Tenths(value) : static_cast<float>(value)); });
  }
}

void frmFXOpts::BuildEqualizerPage() {
  AddLabel(picEQ_, "lbl12DB", QStringLiteral("[-12;12] dB"), 450, 300, 690, 165);

  picEQAmp_ = new PictureView(picEQ_);
  picEQAmp_->setObjectName(QStringLiteral("picEQAmp"));
  picEQAmp_->setGeometry(Px(kCurveLeft), Px(kCurveTop), Px(kCurveWidth), Px(kCurveHeight));
  curveSurface_ = std::make_unique<QImageSurface>(Px(kCurveWidth), Px(kCurveHeight), kCurveBack);
  picEQAmp_->SetSurface(curveSurface_.get());

  sldEQ_.push_back(CreateBandSlider(0));
  lblEQID_.push_back(CreateBandLabel(0));
  PlaceBandLabel(lblEQID_[0], 360, false);
}

void frmFXOpts::BuildAmplifierPage() {
  QLabel* boost = AddLabel(picAmpl_, "lblAmplBy", tr("增强:"), 585, 525, 840, 240);
  sldAmplDB_ = AddSlider(picAmpl_, QStringLiteral("sldAmplDB"), -12, 12, 0, Qt::Horizontal,
                         QSlider::TicksBelow, 1560, 525, 3690, 390);
  Speak(sldAmplDB_, boost, 1, 0, QStringLiteral(" dB"));
  lblAmplDB_ = AddLabel(picAmpl_, "lblAmplDB", QString(), 5490, 525, 180, 195);
  Bind(sldAmplDB_, [](const clsDSP& dsp) { return dsp.AmplifyDB(); },
       [](clsDSP& dsp, int value) { dsp.AmplifyDB(value); });
  connect(sldAmplDB_, &QSlider::valueChanged, this, &frmFXOpts::ShowAmplification);
}

QSlider* frmFXOpts::CreateBandSlider(int index) {
  QSlider* slider = AddSlider(picEQ_, QStringLiteral("sldEQ%1").arg(index), kBandMin, kBandMax,
                              kBandMin, Qt::Vertical, QSlider::TicksBothSides, 150, kBandSliderTop,
                              kBandSliderWidth, kBandSliderHeight);
  // Minimum at the top; the arrow keys and the wheel move the thumb the way they point.
  slider->setInvertedAppearance(true);
  slider->setInvertedControls(true);
  slider->installEventFilter(this);
  // The band's gain is the negated step; its name follows its frequency (LayoutEqualizer).
  SpokenSlider::Describe(*slider, SpokenSlider::Linear(-1, 0, QStringLiteral(" dB")));
  connect(slider, &QSlider::valueChanged, this, [this, index] { OnBandChanged(index); });
  return slider;
}

QLabel* frmFXOpts::CreateBandLabel(int index) {
  auto* label = new QLabel(picEQ_);
  label->setObjectName(QStringLiteral("lblEQID%1").arg(index));
  label->setAlignment(Qt::AlignCenter);
  return label;
}

void frmFXOpts::PlaceBandLabel(QLabel* label, double leftTwips, bool lowered) {
  // The label sizes itself to its text and stays centred on its designed box,
  // which lies under the middle of its slider, but never leaves the page.
  const QSize need = label->sizeHint();
  const double centre = (leftTwips + kBandLabelWidth / 2.0) / kTwipsPerPixel;
  const int width = std::max(Px(kBandLabelWidth), need.width());
  const int height = std::max(Px(kBandLabelHeight), need.height());
  const int left = std::clamp(RoundToInt32(centre - width / 2.0), 0, picEQ_->width() - width);
  const int top = Px(kBandLabelTop) + (lowered ? height : 0);
  label->setGeometry(left, top, width, height);
}

void frmFXOpts::ShowEx(clsDSP& dsp, QWidget* owner) {
  Load(dsp);
  if (owner != nullptr) {
    // The owner only places the dialog and stays blocked while it is open; it
    // does not take ownership (the caller keeps the dialog and may reuse it).
    QWidget* ownerWindow = owner->window();
    winId();  // the native window must exist to carry its transient parent
    if (ownerWindow->windowHandle() != nullptr && windowHandle() != nullptr) {
      windowHandle()->setTransientParent(ownerWindow->windowHandle());
    }
    move(ownerWindow->frameGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  setWindowModality(Qt::ApplicationModal);
  exec();
}

void frmFXOpts::Load(clsDSP& dsp) {
  dsp_ = &dsp;
  points_.assign(static_cast<size_t>(std::max(dsp.EqualizerBands(), 0)), CurvePoint{});
  {
    // Every opening starts on the first tab, as a newly loaded dialog does.
    const QSignalBlocker blocker(strip_);
    strip_->setCurrentIndex(0);
  }
  OnTabChanged();
  FillSliders();
  ClearExtraBands();
  LayoutEqualizer();
}

void frmFXOpts::FillSliders() {
  // Filling runs no change handler: nothing is written back except below.
  for (const SettingSlider& bound : settingSliders_) SetQuietly(bound.slider, bound.read(*dsp_));
  // The amplification is held to the slider's range and shown beside it.
  const int amplification = sldAmplDB_->value();
  Write([amplification](clsDSP& dsp) { dsp.AmplifyDB(amplification); });
  ShowAmplification(amplification);
}

void frmFXOpts::OnTabChanged() {
  const int index = strip_->currentIndex();
  if (index < 0) return;
  ShowPageOfKey(strip_->tabData(index).toString());
}

void frmFXOpts::ShowPageOfKey(const QString& key) {
  QWidget* page = nullptr;
  if (key == QLatin1String("ECHO"))
    page = picReverb_;
  else if (key == QLatin1String("SHIFT"))
    page = picShift_;
  else if (key == QLatin1String("EQ"))
    page = picEQ_;
  else if (key == QLatin1String("AMPL"))
    page = picAmpl_;
  if (page == nullptr) return;  // unknown key: nothing changes
  for (QWidget* each : {picReverb_, picShift_, picEQ_, picAmpl_}) {
    each->setVisible(each == page);
  }
}

void frmFXOpts::Write(const std::function<void(clsDSP&)>& change) {
  if (dsp_ == nullptr) return;
  change(*dsp_);
  if (SettingsChanged) SettingsChanged();
}

void frmFXOpts::ShowAmplification(int value) {
  lblAmplDB_->setText(QString::number(value) + QStringLiteral(" dB"));
  lblAmplDB_->resize(std::max(Px(180), lblAmplDB_->sizeHint().width()), lblAmplDB_->height());
}

void frmFXOpts::OnBandChanged(int index) {
  // Load builds one slider per band of the chain, whose band count the window never changes:
  // within the sliders, the index is a band, so the gain setter never throws.
  if (dsp_ == nullptr || index >= static_cast<int>(sldEQ_.size())) return;
  const auto gain = static_cast<float>(-sldEQ_[static_cast<size_t>(index)]->value());
  Write([index, gain](clsDSP& dsp) { dsp.EqualizerBandGainDB(index, gain); });
  DrawEqualizerCurve();
}

bool frmFXOpts::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    for (size_t i = 0; i < sldEQ_.size(); ++i) {
      QSlider* slider = sldEQ_[i];
      if (watched != slider || mouse->button() != Qt::RightButton) continue;
      if (!slider->rect().contains(mouse->position().toPoint())) break;
      // Right-button release over a band slider: back to 0 dB.
      SetQuietly(slider, 0);
      OnBandChanged(static_cast<int>(i));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmFXOpts::ClearExtraBands() {
  // A closed dialog discards the band controls built at run time; the next
  // opening starts again from the design-time pair.
  while (sldEQ_.size() > 1) {
    delete sldEQ_.back();
    sldEQ_.pop_back();
  }
  while (lblEQID_.size() > 1) {
    delete lblEQID_.back();
    lblEQID_.pop_back();
  }
  SetQuietly(sldEQ_[0], kBandMin);
}

void frmFXOpts::LayoutEqualizer() {
  const int n = dsp_->EqualizerBands();
  if (n < 1) return;
  const double first = static_cast<double>(kPageWidth) / n - kBandSliderWidth;  // twips
  const double step = BandStep(n, first);
  double left = first;
  sldEQ_[0]->move(Px(left), Px(kBandSliderTop));

  if (sldEQ_.size() == 1) {
    for (int i = 1; i < n; ++i) {
      left += step;
      QSlider* slider = CreateBandSlider(i);
      slider->setGeometry(Px(left), Px(kBandSliderTop), Px(kBandSliderWidth),
                          Px(kBandSliderHeight));
      slider->show();
      sldEQ_.push_back(slider);
      QLabel* label = CreateBandLabel(i);
      lblEQID_.push_back(label);
      label->show();
    }
  }

  int widestLabel = 0;
  for (int i = 0; i < n; ++i) {
    const auto k = static_cast<size_t>(i);
    SetQuietly(sldEQ_[k], RoundToInt32(-static_cast<double>(dsp_->EqualizerBandGainDB(i))));
    lblEQID_[k]->setText(BandLabelText(dsp_->EqualizerBandFrequency(i)));
    sldEQ_[k]->setAccessibleName(tr("均衡器 %1").arg(lblEQID_[k]->text()));
    lblEQID_[k]->setBuddy(sldEQ_[k]);
    widestLabel = std::max(widestLabel, lblEQID_[k]->sizeHint().width());
  }
  // Labels wider than the band pitch take turns on two rows instead of overlapping.
  const bool staggered = widestLabel + 4 > step / kTwipsPerPixel;
  for (int i = 0; i < n; ++i) {
    PlaceBandLabel(lblEQID_[static_cast<size_t>(i)],
                   first + i * step + kBandLabelIndent * kTwipsPerPixel, staggered && i % 2 == 1);
  }
  DrawEqualizerCurve();
}

double frmFXOpts::BandStep(int n, double firstLeft) {
  // Side by side, 20 pixels apart; from eight bands on that would run past the
  // right edge of the page, so the gap narrows until the last band fits.
  const double designed = kBandSliderWidth + kBandGapPixels * kTwipsPerPixel;
  if (n < 2) return designed;
  const double room = kPageWidth - kBandSliderWidth - firstLeft;
  return std::min(designed, room / (n - 1));
}

QString frmFXOpts::BandLabelText(int32_t frequencyHz) {
  if (frequencyHz <= 1000) return QString::number(frequencyHz) + QStringLiteral(" Hz");
  return QString::number(frequencyHz / 1000) + QStringLiteral(" kHz");
}

double frmFXOpts::CosineInterpolate(double a, double b, double t) {
  const double x = (1.0 - std::cos(t * 3.14159265358979)) / 2.0;
  return (1.0 - x) * a + x * b;
}

const QImageSurface& frmFXOpts::CurveSurface() const { return *curveSurface_; }

void frmFXOpts::DrawEqualizerCurve() {
  QImageSurface& surface = *curveSurface_;
  surface.Cls();
  const int n = std::min(dsp_ ? dsp_->EqualizerBands() : 0, static_cast<int>(sldEQ_.size()));
  if (n < 1) {
    picEQAmp_->update();
    return;
  }
  const int H = RoundToInt32(surface.ScaleHeight());
  const int W = RoundToInt32(surface.ScaleWidth());
  const int dx = RoundToInt32(static_cast<double>(W - 10) / n);
  const double maximum = sldEQ_[0]->maximum();

  points_.resize(static_cast<size_t>(n));
  for (int i = 1; i <= n; ++i) {
    CurvePoint& p = points_[static_cast<size_t>(i - 1)];
    p.x = dx * i - 4;
    p.y = H / 2.0 + (sldEQ_[static_cast<size_t>(i - 1)]->value() / maximum) * (H / 2.0);
  }

  // One grid line per band.
  surface.ForeColor(kCurveGrid);
  for (const CurvePoint& p : points_) {
    surface.MoveTo(RoundToInt32(p.x), 2);
    surface.LineTo(RoundToInt32(p.x), H - 2);
  }

  surface.ForeColor(kCurveStart);
  const int startX = RoundToInt32(points_[0].x);
  const int startY = RoundToInt32(points_[0].y);
  surface.SetPixel(startX, startY);
  surface.MoveTo(startX, startY);

  // The curve advances a fifth of a pixel at a time, each piece coloured by its height.
  for (int i = 1; i <= n - 1; ++i) {
    const CurvePoint& from = points_[static_cast<size_t>(i - 1)];
    const CurvePoint& to = points_[static_cast<size_t>(i)];
    for (int j = 0; j <= 5 * dx; ++j) {
      const double t = j / 5.0 / dx;
      const int y = RoundToInt32(CosineInterpolate(from.y, to.y, t) - 0.5);
      surface.ForeColor(modDraw::GradientColor(static_cast<float>(H), static_cast<float>(y),
                                               kCurveTop1, kCurveMiddle, kCurveBottom));
      surface.LineTo(RoundToInt32(from.x + j / 5.0), y);
    }
  }
  picEQAmp_->update();
}
