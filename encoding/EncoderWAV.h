// EncoderWAV: writes the recording as a RIFF WAVE file, converting each 16-bit PCM
// block on the fly into the target format (PCM, A-law, u-law, ADPCM, GSM, MP3).
//
// File layout with WriteHeader on: "RIFF" size "WAVE" "fmt " L <L format bytes>
// "data" size <audio>. One thread at a time (the recording thread while recording).
//
// Crash safety: with WriteHeader on, the file is a valid WAV from EncoderInit on.
// The header is written at once (sizes for an empty data chunk; no sync yet, so
// a slow disk never delays what follows the open) and rewritten from Encode at
// most once per HeaderRefreshInterval (1 s by default), each time followed by
// fdatasync, so a killed process or a power cut leaves a readable
// file holding all audio up to the last refresh (Checkpoint refreshes at once).
// The finished file is the same byte for byte: EncoderClose writes the header for
// the final length as before.
//
// Failures never pass as success: a block the converter fails on returns
// ENC_CONVERT_FAILED (after writing what it did produce); a short write returns
// ENC_WRITE_ERROR and cuts the partial block off again, so the file stays a valid
// WAV of every block written before; a block that could push the file past the
// 32-bit RIFF sizes is refused with ENC_SIZE_LIMIT before anything is written.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/WAVEFORMATEX.h"
#include "encoding/ConversionStream.h"
#include "encoding/Encoder.h"
#include "encoding/SyncPacer.h"
#include "encoding/FileRecord.h"
#include "encoding/FormatChooser.h"
#include "encoding/WavHeader.h"

class EncoderWAV : public Encoder {
 public:
  EncoderWAV();
  // With another conversion stream (tests) and a file length limit below the
  // RIFF one (file systems with smaller files, tests).
  explicit EncoderWAV(std::unique_ptr<ConversionStream> stream, int64_t maxFileLength = WavHeader::kMaxFileLength);
  ~EncoderWAV() override;  // finishes a running file
  EncoderWAV(const EncoderWAV&) = delete;
  EncoderWAV& operator=(const EncoderWAV&) = delete;

  bool WriteHeader() const;
  // Throws AppError(90, "Encoder already running!") while a file is open.
  void WriteHeader(bool bln);
  std::string FormatTag() const;  // family of the target format, "PCM" at first
  std::string FormatID() const;   // description, "44.1 kHz 16 Bit Stereo" at first

  void SetPCMFormat(int32_t samplerate, int16_t Channels, const std::string& FormatID, const std::string& FormatTag);
  void SetFormat(const void* wfx_ptr, int32_t wfx_len, const std::string& FormatID, const std::string& FormatTag);
  // ENC_OK when the user chose a format, ENC_CANCELLED otherwise (nothing changes).
  EncoderResult SelectFormat(int32_t samplerate, int16_t Channels, FormatChooser& hwndOwner, const std::string& Title);

  // The stored target format: record plus extra bytes (18 + cbSize bytes).
  std::span<const uint8_t> TargetFormat() const;

  // Writes the RIFF header for the file as it is now, at offset 0, without moving
  // the append position: may be called at any moment while running. False when
  // not running, WriteHeader is off, or the write failed.
  bool WriteWavHeader();

  // Least time between two header refreshes (with fdatasync) while recording;
  // 0 refreshes after every block (tests). Negative values count as 0.
  std::chrono::milliseconds HeaderRefreshInterval() const { return refreshPacer_.Interval(); }
  void HeaderRefreshInterval(std::chrono::milliseconds value);

  static WAVEFORMATEX MakePCMFormat(int32_t samplerate, int16_t channels, int16_t bits);

  // Encoder
  std::string Description() const override;  // "Wave ACM Encoder"
  std::string Extension() const override;    // "wav"
  EncoderResult EncoderClose() override;
  EncoderResult Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) override;
  // Header for the current length, then fdatasync. A block codec's partial block
  // stays in the conversion stream (see ConversionStream).
  EncoderResult Checkpoint() override;
  int32_t EncoderMetrics(int32_t info) override;
  // ENC_TARGET_HOLDS_DATA when the output rules keep what the file holds.
  EncoderResult EncoderInit(int32_t samplerate, int16_t Channels, const std::string& output) override;
  void OutputRules(TargetRules rules) override { outputRules_ = rules; }  // default: replace
  EncoderResult EncoderDiscard() override;
  int64_t TargetBytesPerSecond() const override;  // nAvgBytesPerSec of the target format
  std::string InitError() const override;
  bool WritesTaggableFile() const override { return true; }
  int64_t FileBytes() const override { return Running() ? fileLength_ : -1; }
  // The same target format, header choice, refresh interval and file length
  // limit, on a conversion stream of its own.
  std::unique_ptr<Encoder> Sibling() const override { return Twin(); }
  std::unique_ptr<EncoderWAV> Twin() const;

 private:
  bool Running() const { return file_.IsOpen(); }
  // Appends `count` bytes at `data`; on a short write the partial
  // bytes are cut off again. True when all were written.
  bool AppendOutputBytes(const uint8_t* data, int32_t count);
  void ReleaseRecording();
  // Keeps `cause` for InitError and returns `result`.
  EncoderResult InitFailed(EncoderResult result, std::string cause);
  // Header for the current length, then fdatasync; remembers the moment.
  void RefreshHeader();

  WAVEFORMATEX inputFormat_{};           // 16-bit PCM of the blocks, set by EncoderInit
  std::vector<uint8_t> targetFormat_;    // 131072 bytes, grown only for longer formats
  int32_t targetFormatLength_ = 0;       // valid bytes of targetFormat_
  std::string formatID_;
  std::string formatTag_;
  std::vector<uint8_t> fileFormat_;      // the format the open file was started with
  std::vector<uint8_t> header_;          // header bytes, sized at EncoderInit
  std::vector<uint8_t> destination_;     // converted bytes of one block
  int32_t sourceLength_ = 0;             // one second of input in bytes; 0 while idle
  std::unique_ptr<ConversionStream> stream_;
  FileRecord file_;
  TargetRules outputRules_;
  bool writeHeader_ = true;
  int64_t maxFileLength_;                // Encode refuses blocks that could pass it
  int64_t fileLength_ = 0;               // bytes in the file (header space included)
  SyncPacer refreshPacer_;  // header refreshes with their fdatasync
  std::string initError_;                // see InitError
};
