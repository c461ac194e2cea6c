#include "app/review/TakeReviewPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

#include "app/recording/LoudnessTags.h"
#include "app/review/TakePlayer.h"
#include "app/review/TakeOverviewStrip.h"
#include "capture/PlaybackOutput.h"
#include "app/review/TrimHandle.h"
#include "encoding/TakeTrimmer.h"
#include "tagging/CutMetadata.h"

namespace {
constexpr int kPositionMs = 50;
constexpr int kSliderSteps = 1000;

QString MinutesSeconds(int64_t seconds) {
  return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// The take's tags into its cut, with the cut's own loudness as decoded: what
// every player hears, and for the packet-copied types exactly the kept packets.
TakeMetadataWriter::Result CarryTags(const std::string& take, const TakeTrimmer::Result& cut) {
  const TrimRange& kept = cut.kept;
  const LoudnessTags::Measured measured =
      LoudnessTags::OfFile(cut.path, static_cast<double>(kept.end - kept.first) / kept.rate);
  TakeMetadataWriter::Result carried = CutMetadata::Carry(take, cut.path, kept, measured.loudness);
  if (!measured.error.empty()) carried.reason += (carried.ok() ? "" : "; ") + cut.path + ": " + measured.error;
  return carried;
}
}  // namespace

TakeReviewPanel::TakeReviewPanel(std::unique_ptr<PlaybackOutput> output, QWidget* parent)
    : QWidget(parent),
      output_(std::move(output)),
      player_(new TakePlayer(*output_, this)),
      positionTimer_(new QTimer(this)),
      strip_(Named(new TakeOverviewStrip(this), "picTakeOverview")),
      cmdPlay_(Named(new QPushButton(tr("播放"), this), "cmdPlay")),
      sldPlayPosition_(Named(new QSlider(Qt::Horizontal, this), "sldPlayPosition")),
      lblPlayTime_(Named(new QLabel(TimeText(0, 0, 0), this), "lblPlayTime")),
      cmdTrim_(Named(new QPushButton(tr("剪辑"), this), "cmdTrim")),
      lblTrimResult_(Named(new QLabel(this), "lblTrimResult")),
      cmdTakeTags_(Named(new QPushButton(tr("标签…"), this), "cmdTakeTags")) {
  sldPlayPosition_->setRange(0, kSliderSteps);
  cmdTrim_->setToolTip(tr("拖动概览两端的手柄选出要保留的部分, 保存为新文件; 原文件不变"));
  lblTrimResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblTrimResult_->hide();  // shown with a result
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(cmdPlay_);
  row->addWidget(sldPlayPosition_, 1);
  row->addWidget(lblPlayTime_);
  row->addWidget(cmdTrim_);
  row->addWidget(lblTrimResult_, 1);
  cmdTakeTags_->setToolTip(tr("修改这次录音的标题、日期、软件和备注"));
  row->addWidget(cmdTakeTags_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(strip_);
  layout->addLayout(row);
  positionTimer_->setInterval(kPositionMs);
  connect(positionTimer_, &QTimer::timeout, this, &TakeReviewPanel::ShowPosition);
  connect(cmdPlay_, &QPushButton::clicked, this, &TakeReviewPanel::OnPlayClicked);
  connect(cmdTrim_, &QPushButton::clicked, this, &TakeReviewPanel::OnTrimClicked);
  connect(cmdTakeTags_, &QPushButton::clicked, this, [this] {
    if (TagsRequested) TagsRequested(path_, rate_);
  });
  connect(player_, &TakePlayer::Finished, this, &TakeReviewPanel::OnPlaybackFinished);
  connect(strip_, &TakeOverviewStrip::SeekRequested, this, &TakeReviewPanel::SeekTo);
  connect(sldPlayPosition_, &QSlider::sliderReleased, this,
          [this] { SeekTo(frames_ * sldPlayPosition_->value() / kSliderSteps); });
  Offer(false);
}

// What the worker hands back: the cut, and whether its tags followed.
struct TakeReviewPanel::CutOutcome {
  TakeTrimmer::Result cut;
  TakeMetadataWriter::Result tagged;
};

TakeReviewPanel::~TakeReviewPanel() {
  // The new file must not be left half written by a cut nobody hears the end of.
  if (trimWorker_ != nullptr) trimWorker_->wait();
  delete player_;  // before output_, which it closes
}

QString TakeReviewPanel::TimeText(int64_t frame, int64_t frames, int32_t rate) {
  if (rate <= 0) return MinutesSeconds(0) + " / " + MinutesSeconds(0);
  return MinutesSeconds(frame / rate) + " / " + MinutesSeconds(frames / rate);
}

void TakeReviewPanel::ShowResult(const QString& text) {
  lblTrimResult_->setText(text);
  lblTrimResult_->setToolTip(text);
  lblTrimResult_->setVisible(!text.isEmpty());
}

QList<QWidget*> TakeReviewPanel::TabOrder() const {
  return {strip_->Handle(TakeOverviewStrip::Grip::Head), strip_->Handle(TakeOverviewStrip::Grip::Tail), cmdPlay_,
          sldPlayPosition_, cmdTrim_, cmdTakeTags_};
}

void TakeReviewPanel::Offer(bool enabled) {
  cmdPlay_->setEnabled(enabled);
  sldPlayPosition_->setEnabled(enabled);
  cmdTrim_->setEnabled(enabled && trimWorker_ == nullptr);
  strip_->setEnabled(enabled);
  cmdTakeTags_->setEnabled(enabled && !tagsBusy_);
}

void TakeReviewPanel::TagsBusy(bool busy) {
  tagsBusy_ = busy;
  cmdTakeTags_->setEnabled(cmdPlay_->isEnabled() && !busy);
}

void TakeReviewPanel::ShowTake(const TakeOverview& take) {
  player_->Stop();
  path_ = take.Path();
  rate_ = take.Rate();
  frames_ = take.Frames();
  strip_->ShowTake(take);
  ShowResult({});
  sldPlayPosition_->setValue(0);
  lblPlayTime_->setText(TimeText(0, frames_, rate_));
  Offer(!path_.empty() && frames_ > 0);
}

void TakeReviewPanel::RecordingStarted() {
  // The last take and its cut's notice would pass for the one being recorded.
  ShowTake(TakeOverview{});
  Markers({});
}

void TakeReviewPanel::Markers(std::vector<int64_t> frames) { strip_->Markers(std::move(frames)); }

int64_t TakeReviewPanel::ToPlayerFrames(int64_t frame) const {
  return TrimRange::AtRate(frame, rate_, player_->Rate());
}
int64_t TakeReviewPanel::FromPlayerFrames(int64_t frame) const {
  return TrimRange::AtRate(frame, player_->Rate(), rate_);
}

void TakeReviewPanel::OnPlayClicked() {
  if (player_->IsPlaying()) return player_->Stop();
  const int64_t from = frames_ * sldPlayPosition_->value() / kSliderSteps;
  const std::string error = player_->Play(path_, 0);
  if (error.empty() && from > 0) player_->Seek(ToPlayerFrames(from));
  if (!error.empty()) {
    ShowResult(tr("无法播放: %1").arg(QString::fromStdString(error)));
    return;
  }
  cmdPlay_->setText(tr("停止"));
  positionTimer_->start();
}

void TakeReviewPanel::OnPlaybackFinished(const QString& error) {
  positionTimer_->stop();
  cmdPlay_->setText(tr("播放"));
  strip_->Playhead(-1);
  if (!error.isEmpty()) ShowResult(tr("播放中断: %1").arg(error));
}

void TakeReviewPanel::SeekTo(int64_t frame) {
  sldPlayPosition_->setValue(frames_ > 0 ? static_cast<int>(frame * kSliderSteps / frames_) : 0);
  lblPlayTime_->setText(TimeText(frame, frames_, rate_));
  if (player_->IsPlaying()) player_->Seek(ToPlayerFrames(frame));
}

void TakeReviewPanel::ShowPosition() {
  const int64_t frame = FromPlayerFrames(player_->Position());
  strip_->Playhead(frame);
  lblPlayTime_->setText(TimeText(frame, frames_, rate_));
  if (!sldPlayPosition_->isSliderDown() && frames_ > 0) {
    sldPlayPosition_->setValue(static_cast<int>(frame * kSliderSteps / frames_));
  }
}

void TakeReviewPanel::OnTrimClicked() {
  if (trimWorker_ != nullptr) return;
  const std::string take = path_;
  const TrimRange range{.first = strip_->KeptFirst(), .end = strip_->KeptEnd(), .rate = rate_};
  auto outcome = std::make_shared<CutOutcome>();
  // A cut of an hour's FLAC codes it again: seconds the window must not stand still for.
  trimWorker_ = QThread::create([take, range, outcome] {
    outcome->cut = TakeTrimmer::Trim(take, range);
    // The cut's audio is whole either way; only its markers or tags may be missing.
    if (outcome->cut.ok) outcome->tagged = CarryTags(take, outcome->cut);
  });
  trimWorker_->setParent(this);
  connect(trimWorker_, &QThread::finished, this, [this, outcome] { OnTrimFinished(*outcome); });
  cmdTrim_->setEnabled(false);
  trimWorker_->start();
}

void TakeReviewPanel::OnTrimFinished(const CutOutcome& outcome) {
  trimWorker_->deleteLater();
  trimWorker_ = nullptr;
  cmdTrim_->setEnabled(cmdPlay_->isEnabled());
  const QString path = QString::fromStdString(outcome.cut.path);
  if (!outcome.cut.ok) {
    ShowResult(tr("剪辑失败: %1").arg(QString::fromStdString(outcome.cut.error)));
  } else if (!outcome.tagged.ok()) {
    ShowResult(tr("剪辑已保存, 但标记和标签未能写入: %1 (%2)").arg(path, QString::fromStdString(outcome.tagged.reason)));
  } else {
    ShowResult(tr("剪辑已保存: %1").arg(path));
  }
}
