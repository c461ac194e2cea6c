// TakeReviewPanel: the last take after the stop: Play/Stop (cmdPlay), a
// position slider (sldPlayPosition) and the time (lblPlayTime), the whole-take
// strip (picTakeOverview) with its markers and cut handles, and "剪辑" (cmdTrim),
// which keeps the part between the handles in a new file beside the take on a
// worker thread, the button waiting meanwhile (lblTrimResult says which file,
// or why not), and "标签…" (cmdTakeTags), which asks
// for the take's tags to be edited. Positions are frames of the take as
// recorded. Window's thread only.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/review/TakeOverview.h"

class PlaybackOutput;
class QLabel;
class QPushButton;
class QSlider;
class QThread;
class QTimer;
class TakeOverviewStrip;
class TakePlayer;

class TakeReviewPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TakeReviewPanel(std::unique_ptr<PlaybackOutput> output, QWidget* parent = nullptr);
  ~TakeReviewPanel() override;

  // The take just finished: its file and overview (copied).
  void ShowTake(const TakeOverview& take);
  // A recording starts: playback stops, the strip and the last outcome are
  // cleared, nothing is offered until its take is shown.
  void RecordingStarted();
  // Frame positions of the take to mark on the strip.
  void Markers(std::vector<int64_t> frames);

  // "标签…" was pressed: the take's file and rate.
  std::function<void(const std::string& path, int32_t rate)> TagsRequested;
  // While the take's tags are being written, "标签…" waits.
  void TagsBusy(bool busy);

  TakePlayer& Player() { return *player_; }
  TakeOverviewStrip& Strip() { return *strip_; }
  // The panel's keyboard controls in reading order: the cut handles, then the row below.
  QList<QWidget*> TabOrder() const;

  // "m:ss / m:ss" for `frame` of `frames` at `rate` Hz.
  static QString TimeText(int64_t frame, int64_t frames, int32_t rate);

 private:
  void OnPlayClicked();
  void OnPlaybackFinished(const QString& error);
  void SeekTo(int64_t frame);
  void ShowPosition();
  void OnTrimClicked();
  struct CutOutcome;
  void OnTrimFinished(const CutOutcome& outcome);
  void Offer(bool enabled);
  // The last cut's or playback's outcome beside the buttons; empty hides it.
  void ShowResult(const QString& text);
  int64_t ToPlayerFrames(int64_t frame) const;
  int64_t FromPlayerFrames(int64_t frame) const;

  std::unique_ptr<PlaybackOutput> output_;
  TakePlayer* player_;
  QTimer* positionTimer_;
  TakeOverviewStrip* strip_;
  QPushButton* cmdPlay_;
  QSlider* sldPlayPosition_;
  QLabel* lblPlayTime_;
  QPushButton* cmdTrim_;
  QLabel* lblTrimResult_;
  QPushButton* cmdTakeTags_;
  bool tagsBusy_ = false;
  QThread* trimWorker_ = nullptr;  // the cut under way
  std::string path_;
  int32_t rate_ = 0;
  int64_t frames_ = 0;
};
