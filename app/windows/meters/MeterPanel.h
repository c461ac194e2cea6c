// MeterPanel: the level bars (the first input's pair, and the second input's
// pair while one is recorded beside it) and what the window shows beside them: the dBFS
// scale, a clip lamp and a peak-hold mark per channel, the loudness line and the
// clip count for the status bar. Fed by the window's display tick with the
// recorder's numbers (per-channel peaks, clips, loudness): the bars average the
// last kSmoothHistory ticks' peaks and are drawn here; the lamps and
// meters change (and repaint) only when their state does, the texts at most
// twice a second and at every change of the recorder's state (so the stop's
// loudness shows at once and stays until the next start). UI thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <array>
#include <memory>

#include "app/recording/RecordingMonitor.h"
#include "metering/PeakHold.h"
#include "app/windows/SteadyLabel.h"
#include "app/windows/TextPace.h"
#include "display/QImageSurface.h"
#include "display/clsDraw.h"
#include "display/clsSmooth.h"

class ClipLamp;
class LevelMeterView;
class LevelScale;
class QLabel;

class QWidget;

class MeterPanel : public QObject {
  Q_OBJECT

 public:
  // The widgets are made children of `parent`; the clip count's label of `statusParent`.
  MeterPanel(QWidget* parent, QWidget* statusParent);

  static constexpr int kSecondLeft = 2;  // Meter's index of the second input's left bar; the right one follows

  LevelMeterView* Meter(int bar) const { return meters_[bar]; }
  ClipLamp* Lamp(int channel) const { return lamps_[channel]; }
  LevelScale* Scale() const { return scale_; }
  QLabel* LoudnessLabel() const { return loudness_; }
  QLabel* ClipsLabel() const { return clips_; }

  // The bars drawn for this tick's per-channel `peaks` (0..32768), with sound
  // activation's `threshold` (fraction of full scale, 0: none) marked.
  void ShowLevels(const std::array<int32_t, 2>& peaks, double threshold);
  // The second input's bars for its `peaks` (0..32768).
  void ShowSecondLevels(const std::array<int32_t, 2>& peaks);
  // No input: empty bars, and the next take's rise from nothing.
  void ShowIdleLevels();
  // The recorder's state, clips and loudness of this tick.
  void ShowMeters(const RecordingMonitor::Snapshot& shown);

  // "响度 ..." for `reading`, in the interface language.
  static QString LoudnessText(const LoudnessReading& reading);
  static QString ClipsText(const std::array<int64_t, 2>& clips);

 private:
  static constexpr int kSmoothHistory = 3;  // ticks of level readings averaged
  static constexpr int kBars = 4;           // both inputs' left and right

  bool eventFilter(QObject* watched, QEvent* event) override;
  // The bar's level (0..1) as drawn this tick; returns the peak-hold mark of `bar`.
  float ShowLevel(int bar, float level);
  void DrawLevel(int bar, float level, float held, double threshold);
  // `first`'s pair of bars for `peaks`.
  void ShowPair(int first, const std::array<int32_t, 2>& peaks, double threshold);
  void NewRecording(RecorderState state, const std::array<int64_t, 2>& clips);
  void ShowTexts(const RecordingMonitor::Snapshot& shown);
  static bool Running(RecorderState state);

  std::array<LevelMeterView*, kBars> meters_{};
  std::array<std::unique_ptr<QImageSurface>, kBars> bars_;  // what meters_ show
  std::array<clsSmooth, kBars> smooth_;
  clsDraw draw_;
  std::array<ClipLamp*, 2> lamps_{};  // the first input's
  std::array<PeakHold, kBars> holds_;
  std::array<int64_t, 2> seenClips_{};  // clip counts the lamps have been lit for
  LevelScale* scale_ = nullptr;
  SteadyLabel* loudness_ = nullptr;
  SteadyLabel* clips_ = nullptr;
  RecorderState lastState_ = RecorderState::Idle;
  QElapsedTimer clock_;
  TextPace textPace_;
};
