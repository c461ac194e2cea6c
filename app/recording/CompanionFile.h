// CompanionFile: a file of a two-input take beside its main file: the same
// type, format and settings, named after the main file's part with a suffix
// ("录音3.wav" -> "录音3-2.wav", "X (2).flac" -> "X (2)-2.flac"). It writes
// its blocks and measures their loudness per part; journalling, markers and
// tags are TakeFiles' as for the main file. Recording thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "app/recording/RecordingFormat.h"
#include "encoding/Encoder.h"
#include "metering/LoudnessMeter.h"

class CompanionFile {
 public:
  CompanionFile(std::unique_ptr<Encoder> encoder, std::string suffix);

  // "<main path without its extension><suffix>.<extension>".
  static std::string PathBeside(const std::string& mainPath, const std::string& suffix);

  // Opens the part beside `mainPath` at `format`, under `rules`.
  EncoderResult Open(const std::string& mainPath, const RecordingFormat& format, TargetRules rules);
  // A block of the part's audio (at most a second).
  EncoderResult Write(std::span<const int16_t> block);
  bool IsOpen() const { return open_; }
  EncoderResult Checkpoint();
  // The part is finished (EncoderClose).
  void Close();
  // The part goes back to how it was before Open.
  void Discard();

  const std::string& Path() const { return path_; }
  Encoder& Writer() { return *encoder_; }
  // The open (or last closed) part's loudness; none when it could not be measured.
  LoudnessMeter& PartLoudness() { return loudness_; }
  bool LoudnessMeasured() const { return measured_; }

 private:
  std::unique_ptr<Encoder> encoder_;
  std::string suffix_;
  std::string path_;  // of the open (or last) part
  bool open_ = false;
  LoudnessMeter loudness_;
  bool measured_ = false;
};
