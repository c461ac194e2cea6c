#include "app/recording/CompanionFile.h"

#include <QFileInfo>
#include <QString>

CompanionFile::CompanionFile(std::unique_ptr<Encoder> encoder, std::string suffix)
    : encoder_(std::move(encoder)), suffix_(std::move(suffix)) {}

std::string CompanionFile::PathBeside(const std::string& mainPath, const std::string& suffix) {
  const QString path = QString::fromStdString(mainPath);
  const QString extension = QFileInfo(path).suffix();
  const QString base = extension.isEmpty() ? path : path.chopped(extension.size() + 1);
  const QString dotted = extension.isEmpty() ? QString() : "." + extension;
  return (base + QString::fromStdString(suffix) + dotted).toStdString();
}

EncoderResult CompanionFile::Open(const std::string& mainPath, const RecordingFormat& format, TargetRules rules) {
  path_ = PathBeside(mainPath, suffix_);
  encoder_->OutputRules(rules);
  const EncoderResult result = encoder_->EncoderInit(format.rate, format.channels, path_);
  open_ = result == ENC_OK;
  if (open_) measured_ = loudness_.Begin(format.rate, format.channels);
  return result;
}

EncoderResult CompanionFile::Write(std::span<const int16_t> block) {
  int32_t used = 0;
  const EncoderResult result = encoder_->Encode(block.data(), static_cast<int32_t>(block.size_bytes()), used);
  if (result == ENC_OK && measured_) loudness_.Add(block);
  return result;
}

EncoderResult CompanionFile::Checkpoint() { return open_ ? encoder_->Checkpoint() : ENC_OK; }

void CompanionFile::Close() {
  if (!open_) return;
  open_ = false;
  encoder_->EncoderClose();
}

void CompanionFile::Discard() {
  if (!open_) return;
  open_ = false;
  encoder_->EncoderDiscard();
}
