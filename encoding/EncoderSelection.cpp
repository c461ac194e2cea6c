#include "encoding/EncoderSelection.h"

#include "common/AppError.h"
#include "encoding/EncoderFLAC.h"
#include "encoding/EncoderMP3.h"
#include "encoding/EncoderOpus.h"
#include "encoding/EncoderWAV.h"
#include "encoding/MuxedEncoder.h"

EncoderSelection::EncoderSelection() : EncoderSelection(std::make_unique<EncoderWAV>()) {}

EncoderSelection::EncoderSelection(std::unique_ptr<EncoderWAV> wav) : wav_(std::move(wav)) {
  compressed_[TYPE_FLAC] = std::make_unique<EncoderFLAC>();
  compressed_[TYPE_OPUS] = std::make_unique<EncoderOpus>();
  compressed_[TYPE_MP3] = std::make_unique<EncoderMP3>();
  encoders_[TYPE_WAV] = wav_.get();
  for (int32_t t = TYPE_FLAC; t < kTypeCount; ++t) encoders_[t] = compressed_[t].get();
}

EncoderSelection::~EncoderSelection() = default;

void EncoderSelection::Type(FileType value) {
  if (value < 0 || value >= kTypeCount) throw AppError(32000, "invalid file type");
  // A running file must be finished by the encoder that opened it.
  if (Chosen().EncoderMetrics(0) != -1) throw AppError(90, "Encoder already running!");
  type_ = value;
}

MuxedEncoder* EncoderSelection::Compressed() { return compressed_[type_].get(); }

std::string EncoderSelection::Description() const { return Chosen().Description(); }
std::string EncoderSelection::Extension() const { return Chosen().Extension(); }
EncoderResult EncoderSelection::EncoderClose() { return Chosen().EncoderClose(); }

EncoderResult EncoderSelection::Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) {
  return Chosen().Encode(buffer_ptr, buffer_len, buffer_used);
}

EncoderResult EncoderSelection::Checkpoint() { return Chosen().Checkpoint(); }

int32_t EncoderSelection::EncoderMetrics(int32_t info) { return Chosen().EncoderMetrics(info); }

EncoderResult EncoderSelection::EncoderInit(int32_t samplerate, int16_t Channels, const std::string& output) {
  return Chosen().EncoderInit(samplerate, Channels, output);
}

void EncoderSelection::OutputRules(TargetRules rules) {
  for (Encoder* encoder : encoders_) encoder->OutputRules(rules);
}

EncoderResult EncoderSelection::EncoderDiscard() { return Chosen().EncoderDiscard(); }
int64_t EncoderSelection::TargetBytesPerSecond() const { return Chosen().TargetBytesPerSecond(); }
std::string EncoderSelection::InitError() const { return Chosen().InitError(); }
int64_t EncoderSelection::FileBytes() const { return Chosen().FileBytes(); }

bool EncoderSelection::WritesTaggableFile() const { return Chosen().WritesTaggableFile(); }

std::unique_ptr<Encoder> EncoderSelection::Sibling() const {
  auto sibling = std::make_unique<EncoderSelection>(wav_->Twin());
  for (int32_t t = TYPE_FLAC; t < kTypeCount; ++t) {
    const MuxedEncoder& mine = *compressed_[t];
    MuxedEncoder& theirs = *sibling->compressed_[t];
    if (const auto setting = mine.ChosenSetting()) theirs.Setting(*setting);
    theirs.SyncInterval(mine.SyncInterval());
  }
  sibling->type_ = type_;
  return sibling;
}
