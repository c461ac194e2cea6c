#include "app/windows/meters/MeterPanel.h"

#include <QEvent>
#include <QLabel>
#include <algorithm>
#include <cmath>

#include "app/windows/meters/ClipLamp.h"
#include "app/windows/meters/LevelMeterView.h"
#include "app/windows/meters/LevelScale.h"
#include "app/windows/SteadyLabel.h"
#include "display/modDraw.h"

namespace {

constexpr int32_t kThresholdColour = 0xFFFFFF;  // white, on every level colour

// One decimal, or a dash while there is no value yet.
QString Value(double value) {
  if (!std::isfinite(value)) return QStringLiteral("—");
  const QString text = QString::number(value, 'f', 1);
  return text.startsWith('-') ? QChar(0x2212) + text.mid(1) : text;
}

}  // namespace

MeterPanel::MeterPanel(QWidget* parent, QWidget* statusParent) : QObject(parent) {
  const char* const meterNames[] = {"picVUL", "picVUR", "picVU2L", "picVU2R"};
  const char* const lampNames[] = {"lampClipL", "lampClipR"};
  const QString meterTitles[] = {tr("左声道电平"), tr("右声道电平"), tr("第二输入左声道电平"), tr("第二输入右声道电平")};
  const QString lampTitles[] = {tr("左声道削波指示灯"), tr("右声道削波指示灯")};
  for (int bar = 0; bar < kBars; ++bar) {
    meters_[bar] = new LevelMeterView(parent);
    meters_[bar]->setObjectName(meterNames[bar]);
    meters_[bar]->setAccessibleName(meterTitles[bar]);
    bars_[bar] = std::make_unique<QImageSurface>(300, 14);
    meters_[bar]->SetSurface(bars_[bar].get());
    meters_[bar]->installEventFilter(this);  // the surface follows the view's size
    meters_[bar]->setFixedHeight(14);
    meters_[bar]->setMinimumWidth(200);
    smooth_[bar].SmoothNew(kSmoothHistory);
  }
  for (int channel = 0; channel < 2; ++channel) {
    lamps_[channel] = new ClipLamp(parent);
    lamps_[channel]->setObjectName(lampNames[channel]);
    lamps_[channel]->setText(tr("削波"));
    lamps_[channel]->setAccessibleName(lampTitles[channel]);
    lamps_[channel]->setToolTip(tr("有削波时点亮, 单击熄灭"));
  }
  scale_ = new LevelScale(parent);
  scale_->setObjectName("picVUScale");
  scale_->setAccessibleName(tr("电平刻度 (dBFS)"));
  const LoudnessReading widest{-88.8, -88.8, -88.8, -88.8, -88.8};
  loudness_ = new SteadyLabel(LoudnessText({}), LoudnessText(widest), parent);
  loudness_->setObjectName("lblLoudness");
  clips_ = new SteadyLabel(ClipsText({}), ClipsText({9999, 9999}), statusParent);
  clips_->setObjectName("sbarClips");
  clock_.start();
}

bool MeterPanel::Running(RecorderState state) {
  return state == RecorderState::Starting || state == RecorderState::Recording || state == RecorderState::Paused;
}

bool MeterPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) {
    for (int bar = 0; bar < kBars; ++bar) {
      if (watched != meters_[bar]) continue;
      bars_[bar]->Resize(std::max(1, meters_[bar]->width()), std::max(1, meters_[bar]->height()));
    }
  }
  return QObject::eventFilter(watched, event);
}

float MeterPanel::ShowLevel(int bar, float level) {
  const float held = holds_[bar].Update(level, clock_.elapsed());
  meters_[bar]->Reading(level, bar < 2 && lamps_[bar]->Lit());
  return held;
}

void MeterPanel::ShowLevels(const std::array<int32_t, 2>& peaks, double threshold) { ShowPair(0, peaks, threshold); }

void MeterPanel::ShowSecondLevels(const std::array<int32_t, 2>& peaks) { ShowPair(kSecondLeft, peaks, 0); }

void MeterPanel::ShowPair(int first, const std::array<int32_t, 2>& peaks, double threshold) {
  for (int channel = 0; channel < 2; ++channel) {
    const int bar = first + channel;
    smooth_[bar].SmoothAdd(static_cast<float>(peaks[channel] == 0 ? 1 : peaks[channel]));
    const float level = smooth_[bar].SmoothGetMax() / 32768.0f;
    DrawLevel(bar, level, ShowLevel(bar, level), threshold);
    meters_[bar]->ShowIfChanged();
  }
}

void MeterPanel::ShowIdleLevels() {
  for (int bar = 0; bar < kBars; ++bar) {
    bars_[bar]->Cls();
    meters_[bar]->ShowIfChanged();
    ShowLevel(bar, 0.0f);
    smooth_[bar].SmoothNew(kSmoothHistory);
  }
}

void MeterPanel::DrawLevel(int bar, float level, float held, double threshold) {
  QImageSurface& surface = *bars_[bar];
  surface.Cls();
  const int32_t colour = modDraw::GradientColor(1, level, modDraw::kGreen, modDraw::kOrange, modDraw::kRed);
  const auto height = static_cast<int32_t>(std::nearbyint(surface.ScaleHeight()));
  draw_.DrawRect(surface, 0, 0, static_cast<int32_t>(std::nearbyint(surface.ScaleWidth() * level)), height, colour);
  // Sound activation's threshold: a level right of the line starts a take.
  if (threshold > 0) {
    const auto width = static_cast<int32_t>(std::nearbyint(surface.ScaleWidth()));
    const int32_t x = std::min(static_cast<int32_t>(std::nearbyint(width * threshold)), width - 1);
    draw_.DrawRect(surface, x, 0, x + 1, height, kThresholdColour);
  }
  // The peak-hold mark: two pixels in the colour of its level.
  const auto heldX = static_cast<int32_t>(std::nearbyint((surface.ScaleWidth() - 2) * std::min(held, 1.0f)));
  if (heldX <= 0) return;
  draw_.DrawRect(surface, heldX, 0, heldX + 2, height,
                 modDraw::GradientColor(1, held, modDraw::kGreen, modDraw::kOrange, modDraw::kRed));
}

void MeterPanel::ShowMeters(const RecordingMonitor::Snapshot& shown) {
  if (Running(shown.state) && !Running(lastState_)) NewRecording(shown.state, shown.clips);
  for (int channel = 0; channel < 2; ++channel) {
    if (shown.clips[channel] > seenClips_[channel]) lamps_[channel]->Light();
    seenClips_[channel] = shown.clips[channel];
  }
  const bool stateChanged = shown.state != lastState_;
  lastState_ = shown.state;
  if (textPace_.Due(stateChanged)) ShowTexts(shown);
}

void MeterPanel::NewRecording(RecorderState state, const std::array<int64_t, 2>& clips) {
  for (ClipLamp* lamp : lamps_) lamp->PutOut();
  for (PeakHold& hold : holds_) hold.Reset();
  // While starting the counts may still be the last recording's; a running
  // recording's are already its own.
  seenClips_ = state == RecorderState::Starting ? clips : std::array<int64_t, 2>{};
}

void MeterPanel::ShowTexts(const RecordingMonitor::Snapshot& shown) {
  loudness_->Show(LoudnessText(shown.loudness));
  clips_->Show(ClipsText(shown.clips));
}

QString MeterPanel::LoudnessText(const LoudnessReading& reading) {
  return tr("响度  瞬时 %1  短期 %2  综合 %3 LUFS  范围 %4 LU  真峰值 %5 dBTP")
      .arg(Value(reading.momentary), Value(reading.shortTerm), Value(reading.integrated), Value(reading.range),
           Value(reading.truePeak));
}

QString MeterPanel::ClipsText(const std::array<int64_t, 2>& clips) {
  return tr("削波: 左 %1, 右 %2").arg(clips[0]).arg(clips[1]);
}
