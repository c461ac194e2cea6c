// frmFXOpts: the modal effects settings dialog "特效设置". Four pages behind a
// tab strip (echo, phase shifter, equalizer, amplifier); every slider writes its
// value into the effects processor the moment it moves, so a running recording
// hears the change from its next block. The dialog keeps no settings of its own.
// Control positions are designed in twips (15 twips per pixel). UI thread only.
#pragma once

#include <functional>

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class clsDSP;
class QFrame;
class QLabel;
class QPushButton;
class QSlider;
class QTabBar;
class QWidget;
class PictureView;
class QImageSurface;

class frmFXOpts : public QDialog {
  Q_OBJECT

 public:
  explicit frmFXOpts(QWidget* parent = nullptr);
  ~frmFXOpts() override;

  // Fills the dialog from `dsp` and shows it modally over `owner`; returns when
  // the dialog has been closed. `dsp` must outlive the dialog's use of it.
  void ShowEx(clsDSP& dsp, QWidget* owner);

  // Raised after every change the dialog writes into its chain.
  std::function<void()> SettingsChanged;

  // ShowEx without the modal loop: keeps `dsp`, selects the first tab, builds
  // the band controls anew and fills every slider. Tests drive the dialog this way.
  void Load(clsDSP& dsp);

  // Caption of a band label: up to 1000 Hz in hertz ("1000 Hz"), above it the
  // whole kilohertz, truncated ("1001" reads "1 kHz").
  static QString BandLabelText(int32_t frequencyHz);

  // Cosine interpolation between a (t = 0) and b (t = 1), zero slope at both ends.
  static double CosineInterpolate(double a, double b, double t);

  // The surface the equalizer curve is drawn on (shown in picEQAmp).
  const QImageSurface& CurveSurface() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct CurvePoint {
    double x = 0;  // pixels
    double y = 0;  // pixels
  };

  void BuildPages();
  void BuildEchoPage();
  void BuildShiftPage();
  void BuildEqualizerPage();
  void BuildAmplifierPage();
  void KeepLabelsBeforeSliders(QWidget* page);
  QSlider* AddSlider(QWidget* page, const QString& name, int minimum, int maximum, int value,
                     Qt::Orientation orientation, int tickPosition, int left, int top, int width,
                     int height);
  QLabel* AddLabel(QWidget* page, const char* name, const QString& caption, int left, int top,
                   int width, int height);

  void OnTabChanged();
  void ShowPageOfKey(const QString& key);
  // `slider` shows the setting `read` gives (in slider steps) and writes its moves through `write`.
  void Bind(QSlider* slider, std::function<int(const clsDSP&)> read, std::function<void(clsDSP&, int)> write);
  void FillSliders();
  void ShowAmplification(int value);  // lblAmplDB
  void OnBandChanged(int index);

  void LayoutEqualizer();
  void ClearExtraBands();
  QSlider* CreateBandSlider(int index);
  QLabel* CreateBandLabel(int index);
  void PlaceBandLabel(QLabel* label, double leftTwips, bool lowered);
  static double BandStep(int n, double firstLeft);  // twips from one band slider to the next
  void DrawEqualizerCurve();

  // Changes the chain shown and tells SettingsChanged.
  void Write(const std::function<void(clsDSP&)>& change);

  clsDSP* dsp_ = nullptr;
  std::vector<CurvePoint> points_;  // curve points 1..n stored at 0..n-1

  QTabBar* strip_ = nullptr;
  QFrame* stripBody_ = nullptr;
  QWidget* picReverb_ = nullptr;
  QWidget* picShift_ = nullptr;
  QWidget* picEQ_ = nullptr;
  QWidget* picAmpl_ = nullptr;

  // Every slider of one setting with how it reads it; the band sliders are the equalizer's own.
  struct SettingSlider {
    QSlider* slider;
    std::function<int(const clsDSP&)> read;  // the setting in slider steps
  };
  std::vector<SettingSlider> settingSliders_;
  QSlider* sldReverbLen_ = nullptr;
  QSlider* sldReverbAmp_ = nullptr;
  QSlider* sldAmplDB_ = nullptr;
  QLabel* lblAmplDB_ = nullptr;

  std::vector<QSlider*> sldEQ_;   // element 0 is the design-time slider
  std::vector<QLabel*> lblEQID_;  // element 0 is the design-time label
  PictureView* picEQAmp_ = nullptr;
  std::unique_ptr<QImageSurface> curveSurface_;
  QPushButton* cmdClose_ = nullptr;
};
