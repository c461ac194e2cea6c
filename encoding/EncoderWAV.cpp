#include "encoding/EncoderWAV.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/AppError.h"
#include "common/FileTypes.h"
#include "common/SampleMath.h"
#include "encoding/CodecConversionStream.h"
#include "encoding/FormatRecord.h"

namespace {

// Room for any chosen format record; grown only for a longer one.
constexpr size_t kTargetFormatCapacity = 131072;

// Rate in kHz to one decimal, halves to even, without trailing zeros: 44100 -> "44.1", 8000 -> "8".
std::string KilohertzText(uint32_t samplerate) {
  const int64_t tenths = RoundToInt64(samplerate / 100.0);
  std::string text = std::to_string(tenths / 10);
  if (tenths % 10 != 0) text += "." + std::to_string(tenths % 10);
  return text;
}

// The part of a chooser's text before its first NUL (fixed-size text fields
// arrive padded); the whole text when it holds none.
std::string TrimAtNul(const std::string& text) { return text.substr(0, text.find('\0')); }

}  // namespace

EncoderWAV::EncoderWAV() : EncoderWAV(std::make_unique<CodecConversionStream>()) {}

EncoderWAV::EncoderWAV(std::unique_ptr<ConversionStream> stream, int64_t maxFileLength)
    : targetFormat_(kTargetFormatCapacity, 0), stream_(std::move(stream)), maxFileLength_(maxFileLength) {
  const WAVEFORMATEX wfx = MakePCMFormat(44100, 2, 16);
  SetFormat(&wfx, WAVEFORMATEX::kSize, "44.1 kHz 16 Bit Stereo", "PCM");
}

EncoderWAV::~EncoderWAV() { EncoderClose(); }

std::unique_ptr<EncoderWAV> EncoderWAV::Twin() const {
  auto twin = std::make_unique<EncoderWAV>(std::make_unique<CodecConversionStream>(), maxFileLength_);
  const std::span<const uint8_t> format = TargetFormat();
  twin->SetFormat(format.data(), static_cast<int32_t>(format.size()), formatID_, formatTag_);
  twin->writeHeader_ = writeHeader_;
  twin->HeaderRefreshInterval(HeaderRefreshInterval());
  twin->OutputRules(outputRules_);
  return twin;
}

bool EncoderWAV::WriteHeader() const { return writeHeader_; }

void EncoderWAV::WriteHeader(bool bln) {
  if (Running()) throw AppError(90, "Encoder already running!");
  writeHeader_ = bln;
}

std::string EncoderWAV::FormatTag() const { return formatTag_; }
std::string EncoderWAV::FormatID() const { return formatID_; }

std::span<const uint8_t> EncoderWAV::TargetFormat() const {
  return {targetFormat_.data(), static_cast<size_t>(targetFormatLength_)};
}

WAVEFORMATEX EncoderWAV::MakePCMFormat(int32_t samplerate, int16_t channels, int16_t bits) {
  return FormatRecord::PCM(samplerate, channels, bits);
}

void EncoderWAV::SetFormat(const void* wfx_ptr, int32_t wfx_len, const std::string& FormatID,
                           const std::string& FormatTag) {
  if (wfx_ptr == nullptr || wfx_len < 0) return;
  const std::span<const uint8_t> record(static_cast<const uint8_t*>(wfx_ptr), static_cast<size_t>(wfx_len));
  const int32_t stored = FormatRecord::StoredLength(record);
  // Too short to be a format record: keep the current format.
  if (stored == 0) return;
  if (static_cast<size_t>(stored) > targetFormat_.size()) targetFormat_.assign(static_cast<size_t>(stored), 0);
  std::memcpy(targetFormat_.data(), wfx_ptr, record.size());
  // A plain PCM record without cbSize is stored with cbSize 0.
  std::fill(targetFormat_.begin() + wfx_len, targetFormat_.begin() + stored, uint8_t{0});
  targetFormatLength_ = stored;
  formatID_ = FormatID;
  formatTag_ = FormatTag;
}

void EncoderWAV::SetPCMFormat(int32_t samplerate, int16_t Channels, const std::string& FormatID,
                              const std::string& FormatTag) {
  const WAVEFORMATEX wfx = MakePCMFormat(samplerate, Channels, 16);
  const std::string id = !FormatID.empty() ? FormatID
                                           : KilohertzText(wfx.nSamplesPerSec) + " " +
                                                 std::to_string(wfx.wBitsPerSample) + " Bit " +
                                                 (wfx.nChannels == 2 ? "stereo" : "mono");
  SetFormat(&wfx, WAVEFORMATEX::kSize, id, FormatTag.empty() ? "PCM" : FormatTag);
}

EncoderResult EncoderWAV::SelectFormat(int32_t samplerate, int16_t Channels, FormatChooser& hwndOwner,
                                       const std::string& Title) {
  const WAVEFORMATEX pcm = MakePCMFormat(samplerate, Channels, 16);
  const auto chosen = hwndOwner.Choose(pcm, Title);
  if (!chosen || chosen->format.size() < static_cast<size_t>(WAVEFORMATEX::kSize)) return ENC_CANCELLED;
  // Stored length = record + cbSize extra bytes; a record claiming more than the
  // chooser handed over counts as a failed chooser.
  const auto cbSize = static_cast<int16_t>(WAVEFORMATEX::FromBytes(chosen->format).cbSize);
  const int32_t length = WAVEFORMATEX::kSize + cbSize;
  if (cbSize < 0 || static_cast<size_t>(length) > chosen->format.size()) return ENC_CANCELLED;
  SetFormat(chosen->format.data(), length, TrimAtNul(chosen->FormatID), TrimAtNul(chosen->FormatTag));
  return ENC_OK;
}

std::string EncoderWAV::Description() const { return "Wave ACM Encoder"; }
std::string EncoderWAV::Extension() const { return FileTypes::Of(FileTypes::TYPE_WAV).extension; }

int64_t EncoderWAV::TargetBytesPerSecond() const {
  return WAVEFORMATEX::FromBytes(TargetFormat()).nAvgBytesPerSec;
}

int32_t EncoderWAV::EncoderMetrics(int32_t info) {
  if (info == 1) return Running() ? static_cast<int32_t>(inputFormat_.nAvgBytesPerSec) : -1;
  if (info == 0) return Running() ? inputFormat_.nBlockAlign : -1;
  return 0;
}

std::string EncoderWAV::InitError() const { return initError_; }

EncoderResult EncoderWAV::InitFailed(EncoderResult result, std::string cause) {
  initError_ = std::move(cause);
  return result;
}

EncoderResult EncoderWAV::EncoderInit(int32_t samplerate, int16_t Channels, const std::string& output) {
  EncoderClose();
  initError_.clear();
  if (samplerate < 1 || Channels < 1) return InitFailed(ENC_INIT_FAILED, "rate and channel count must be at least 1");
  inputFormat_ = MakePCMFormat(samplerate, Channels, 16);
  if (!stream_->Open(inputFormat_, TargetFormat())) return InitFailed(ENC_INIT_FAILED, stream_->LastError());
  const int32_t destinationLength = stream_->OutputBytesPerSecond();
  if (destinationLength <= 0) {
    stream_->Release();
    return InitFailed(ENC_INIT_FAILED, "the conversion states no output size");
  }
  destination_.assign(static_cast<size_t>(destinationLength), 0);
  const FileRecord::OpenResult opened = file_.Open(output, outputRules_);
  if (opened != FileRecord::OpenResult::Opened) {
    stream_->Release();
    if (opened == FileRecord::OpenResult::HoldsData) return InitFailed(ENC_TARGET_HOLDS_DATA, file_.LastError());
    return InitFailed(ENC_FILE_ERROR, output.empty() ? "no output file name" : file_.LastError());
  }
  fileLength_ = 0;
  if (writeHeader_) {
    // The format is kept as the file started with it: the reserved space has its length.
    fileFormat_.assign(targetFormat_.begin(), targetFormat_.begin() + targetFormatLength_);
    header_.assign(static_cast<size_t>(WavHeader::Size(targetFormatLength_)), 0);
    // Reserve the header space; a file that cannot even take that is not usable.
    if (!AppendOutputBytes(header_.data(), static_cast<int32_t>(header_.size()))) {
      std::string cause = file_.LastError();
      ReleaseRecording();
      return InitFailed(ENC_FILE_ERROR, std::move(cause));
    }
    // Written, not synced: a recording starts its capture after the open,
    // and a slow disk must not hold that up. The first sync comes with the audio.
    WriteWavHeader();
    refreshPacer_.Restart();
  }
  sourceLength_ = static_cast<int32_t>(inputFormat_.nAvgBytesPerSec);
  return ENC_OK;
}

EncoderResult EncoderWAV::Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) {
  if (buffer_len > sourceLength_) return ENC_BUFFER_TOO_LARGE;  // also every non-empty block while idle
  if (buffer_len == 0) {
    buffer_used = 0;
    return ENC_OK;
  }
  if (buffer_ptr == nullptr || buffer_len < 0) {
    buffer_used = 0;
    return ENC_CONVERT_FAILED;
  }
  // Room for this block's output and for the flush at close, both bounded by the
  // destination buffer; past that the 32-bit RIFF sizes could no longer hold the file.
  const auto bound = static_cast<int64_t>(destination_.size());
  if (writeHeader_ && fileLength_ + 2 * bound > maxFileLength_) {
    buffer_used = 0;
    return ENC_SIZE_LIMIT;  // not a write error: the file is whole and a next one could follow
  }
  int32_t consumed = 0;
  int32_t produced = 0;
  const bool converted = stream_->Convert(static_cast<const uint8_t*>(buffer_ptr), buffer_len, destination_.data(),
                                          static_cast<int32_t>(destination_.size()), consumed, produced);
  buffer_used = consumed;
  if (produced > 0 && !AppendOutputBytes(destination_.data(), produced)) return ENC_WRITE_ERROR;
  if (writeHeader_ && produced > 0 && refreshPacer_.Due()) {
    RefreshHeader();
  }
  return converted ? ENC_OK : ENC_CONVERT_FAILED;
}

EncoderResult EncoderWAV::Checkpoint() {
  if (!Running()) return ENC_FILE_ERROR;
  const bool written = !writeHeader_ || WriteWavHeader();
  const bool synced = refreshPacer_.Run([this] { return file_.Sync(); });
  return written && synced ? ENC_OK : ENC_WRITE_ERROR;
}

EncoderResult EncoderWAV::EncoderClose() {
  if (!Running()) return ENC_FILE_ERROR;
  int32_t produced = 0;
  // A failed flush writes nothing: no stale bytes of an earlier block.
  if (stream_->Flush(destination_.data(), static_cast<int32_t>(destination_.size()), produced) && produced > 0) {
    AppendOutputBytes(destination_.data(), produced);
  }
  if (writeHeader_) WriteWavHeader();
  ReleaseRecording();
  return ENC_OK;
}

EncoderResult EncoderWAV::EncoderDiscard() {
  if (!Running()) return ENC_FILE_ERROR;
  const bool restored = file_.Discard();  // closes the file first: nothing flushed into it
  ReleaseRecording();
  return restored ? ENC_OK : ENC_FILE_ERROR;
}

bool EncoderWAV::WriteWavHeader() {
  if (!Running() || !writeHeader_ || header_.empty()) return false;
  WavHeader::Build(fileFormat_, file_.Length(), header_);
  return file_.WriteAt(0, header_.data(), static_cast<int64_t>(header_.size()));
}

void EncoderWAV::RefreshHeader() {
  // Failures here are not the block's: the next refresh or EncoderClose tries again.
  WriteWavHeader();
  refreshPacer_.Run([this] { return file_.Sync(); });
}

void EncoderWAV::HeaderRefreshInterval(std::chrono::milliseconds value) {
  refreshPacer_.Interval(value);
}

bool EncoderWAV::AppendOutputBytes(const uint8_t* data, int32_t count) {
  const int64_t written = file_.Write(data, count);
  if (written == count) {
    fileLength_ += count;
    return true;
  }
  // Cut the partial block off so the data ends on a whole codec block.
  if (written > 0) file_.Truncate(fileLength_);
  return false;
}

void EncoderWAV::ReleaseRecording() {
  stream_->Release();
  file_.Close();
  sourceLength_ = 0;
}
