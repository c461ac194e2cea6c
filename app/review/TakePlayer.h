// TakePlayer: plays a finished take to a PlaybackOutput, decoding it as it
// goes on the window's thread (a timer tops the output's short queue up).
// Positions are frames of the decoded file. Plays to the end or until Stop.
// Window's thread only.
#pragma once

#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

#include "encoding/TakeDecoder.h"

class PlaybackOutput;
class QTimer;

class TakePlayer : public QObject {
  Q_OBJECT

 public:
  // `output` must outlive the player.
  explicit TakePlayer(PlaybackOutput& output, QObject* parent = nullptr);
  ~TakePlayer() override;

  // Plays `path` from frame `from`; empty on success, else why not.
  std::string Play(const std::string& path, int64_t from = 0);
  // Ends playback (no-op when none runs); Finished follows.
  void Stop();
  // Goes on from `frame` (while playing).
  std::string Seek(int64_t frame);
  bool IsPlaying() const { return playing_; }
  // The frame heard now.
  int64_t Position();
  int64_t Length() const { return decoder_.Frames(); }
  int32_t Rate() const { return decoder_.Rate(); }

  static constexpr int kPumpMs = 20;

 Q_SIGNALS:
  // Playback ended: at the file's end, by Stop, or because the output failed
  // (`error` then says why, else empty).
  void Finished(const QString& error);

 private:
  // Decodes what the output can take now; ends playback at the end.
  void Pump();
  void End(const std::string& error);

  PlaybackOutput& output_;
  TakeDecoder decoder_;
  QTimer* pump_;
  std::vector<int16_t> block_;  // reused between pumps
  bool playing_ = false;
  bool draining_ = false;
  int64_t startFrame_ = 0;      // where the output's stream started in the file
};
