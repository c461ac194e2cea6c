#include "app/review/TakePlayer.h"

#include <QTimer>
#include <algorithm>

#include "capture/PlaybackOutput.h"

TakePlayer::TakePlayer(PlaybackOutput& output, QObject* parent)
    : QObject(parent), output_(output), pump_(new QTimer(this)) {
  pump_->setInterval(kPumpMs);
  connect(pump_, &QTimer::timeout, this, &TakePlayer::Pump);
}

TakePlayer::~TakePlayer() { output_.Close(); }

std::string TakePlayer::Play(const std::string& path, int64_t from) {
  Stop();
  if (!decoder_.Open(path)) return path + ": " + decoder_.LastError();
  playing_ = true;
  const std::string error = Seek(from);
  if (!error.empty()) {
    playing_ = false;
    decoder_.Close();
  }
  return error;
}

std::string TakePlayer::Seek(int64_t frame) {
  if (!playing_) return {};
  // A fresh stream drops what the old one still held, so the jump is heard at once.
  std::string error = output_.Open(decoder_.Rate(), decoder_.Channels());
  if (error.empty() && frame > 0 && !decoder_.Seek(frame)) error = decoder_.LastError();
  if (error.empty() && frame <= 0 && decoder_.Position() != 0 && !decoder_.Seek(0)) error = decoder_.LastError();
  if (!error.empty()) return error;
  startFrame_ = decoder_.Position();
  draining_ = false;
  pump_->start();
  Pump();
  return {};
}

void TakePlayer::Stop() {
  if (playing_) End({});
}

int64_t TakePlayer::Position() {
  if (!playing_) return 0;
  return std::min(startFrame_ + output_.PlayedFrames(), decoder_.Position());
}

void TakePlayer::Pump() {
  if (draining_) {
    if (output_.Drained()) End({});
    return;
  }
  const int64_t room = output_.Writable();
  if (room <= 0) return;
  block_.clear();
  const int64_t got = decoder_.Read(block_, room);
  if (got < 0) return End(decoder_.LastError());
  if (got > 0 && !output_.Write(block_)) return End(output_.LastError());
  if (got < room) {
    output_.Drain();
    draining_ = true;
  }
}

void TakePlayer::End(const std::string& error) {
  pump_->stop();
  output_.Close();
  decoder_.Close();
  playing_ = false;
  draining_ = false;
  Q_EMIT Finished(QString::fromStdString(error));
}
