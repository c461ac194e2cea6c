// MeterPanel: what the window shows beside its level bars: the dBFS scale, a
// clip lamp and a peak-hold mark per channel, the loudness line and the clip
// count for the status bar. Fed by the window's display tick; the lamps and
// meters change (and repaint) only when their state does, the texts at most
// twice a second and at every change of the recorder's state (so the stop's
// loudness shows at once and stays until the next start). UI thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <array>

#include "app/recording/RecordingMonitor.h"
#include "metering/PeakHold.h"
#include "app/windows/SteadyLabel.h"
#include "app/windows/TextPace.h"

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

  LevelMeterView* Meter(int channel) const { return meters_[channel]; }
  ClipLamp* Lamp(int channel) const { return lamps_[channel]; }
  LevelScale* Scale() const { return scale_; }
  QLabel* LoudnessLabel() const { return loudness_; }
  QLabel* ClipsLabel() const { return clips_; }

  // The bars' levels (0..1) as drawn this tick; returns the peak-hold mark of `channel`.
  float ShowLevel(int channel, float level);
  // The recorder's state, clips and loudness of this tick.
  void ShowMeters(const RecordingMonitor::Snapshot& shown);

  // "响度 ..." for `reading`, in the interface language.
  static QString LoudnessText(const LoudnessReading& reading);
  static QString ClipsText(const std::array<int64_t, 2>& clips);

 private:
  void NewRecording(RecorderState state, const std::array<int64_t, 2>& clips);
  void ShowTexts(const RecordingMonitor::Snapshot& shown);
  static bool Running(RecorderState state);

  std::array<LevelMeterView*, 2> meters_{};
  std::array<ClipLamp*, 2> lamps_{};
  std::array<PeakHold, 2> holds_;
  std::array<int64_t, 2> seenClips_{};  // clip counts the lamps have been lit for
  LevelScale* scale_ = nullptr;
  SteadyLabel* loudness_ = nullptr;
  SteadyLabel* clips_ = nullptr;
  RecorderState lastState_ = RecorderState::Idle;
  QElapsedTimer clock_;
  TextPace textPace_;
};
