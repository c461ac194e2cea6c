// EncoderSelection: the output file types the user can pick (WAV, FLAC, Ogg
// Opus, MP3), as one Encoder. It owns one encoder per type and forwards every
// call to the chosen one, so the recording controller keeps a single Encoder&.
// WAV is chosen at first. Output rules reach every type, so a change of type
// keeps them. One thread at a time: the window chooses while idle, the
// recording thread records.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/FileTypes.h"
#include "encoding/Encoder.h"

class EncoderWAV;
class MuxedEncoder;

class EncoderSelection : public Encoder {
 public:
  using FileType = FileTypes::FileType;
  using enum FileTypes::FileType;
  static constexpr int32_t kTypeCount = FileTypes::kCount;

  EncoderSelection();
  // With another WAV encoder (tests: a low file length limit).
  explicit EncoderSelection(std::unique_ptr<EncoderWAV> wav);
  ~EncoderSelection() override;

  FileType Type() const { return type_; }
  // Throws AppError(90, "Encoder already running!") while a file is open,
  // AppError(32000, "invalid file type") for a value outside the types.
  void Type(FileType value);

  EncoderWAV& WAV() { return *wav_; }
  // The chosen compressed type's encoder; nullptr while WAV is chosen.
  MuxedEncoder* Compressed();
  // The encoder of compressed `type`, chosen or not; nullptr for WAV.
  MuxedEncoder* Compressed(FileType type) { return compressed_.at(static_cast<size_t>(type)).get(); }

  // Encoder, of the chosen type
  std::string Description() const override;
  std::string Extension() const override;
  EncoderResult EncoderClose() override;
  EncoderResult Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) override;
  EncoderResult Checkpoint() override;
  int32_t EncoderMetrics(int32_t info) override;
  EncoderResult EncoderInit(int32_t samplerate, int16_t Channels, const std::string& output) override;
  void OutputRules(TargetRules rules) override;
  EncoderResult EncoderDiscard() override;
  int64_t TargetBytesPerSecond() const override;
  std::string InitError() const override;
  int64_t FileBytes() const override;
  bool WritesTaggableFile() const override;
  // Of the chosen type, with every type's settings as chosen here.
  std::unique_ptr<Encoder> Sibling() const override;

 private:
  Encoder& Chosen() const { return *encoders_[type_]; }

  std::unique_ptr<EncoderWAV> wav_;
  std::array<std::unique_ptr<MuxedEncoder>, kTypeCount> compressed_;  // [TYPE_WAV] stays empty
  std::array<Encoder*, kTypeCount> encoders_{};
  FileType type_ = TYPE_WAV;
};
