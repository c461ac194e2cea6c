#include "encoding/MuxedEncoder.h"

#include <algorithm>

#include "common/AppError.h"

MuxedEncoder::~MuxedEncoder() { EncoderClose(); }

int32_t MuxedEncoder::SettingFor(int16_t Channels) const { return chosen_.value_or(DefaultSetting(Channels)); }

void MuxedEncoder::Setting(int32_t value) {
  if (Running()) throw AppError(90, "Encoder already running!");
  const auto choices = SettingChoices();
  const bool offered = std::ranges::any_of(choices, [value](const EncoderSetting& c) { return c.value == value; });
  if (!offered) throw AppError(32000, "invalid setting");
  chosen_ = value;
}

std::string MuxedEncoder::SettingText(int16_t Channels) const {
  const int32_t value = SettingFor(Channels);
  for (const EncoderSetting& choice : SettingChoices()) {
    if (choice.value == value) return choice.description;
  }
  return std::to_string(value);
}

void MuxedEncoder::SyncInterval(std::chrono::milliseconds value) {
  syncPacer_.Interval(value);
}

int32_t MuxedEncoder::LowestRateAtLeast(int32_t rate, std::span<const int32_t> offered) {
  const auto fit = std::ranges::find_if(offered, [rate](int32_t r) { return r >= rate; });
  return fit != offered.end() ? *fit : offered.back();
}

std::vector<EncoderSetting> MuxedEncoder::BitRateChoices(std::span<const int32_t> kbits, const std::string& suffix) {
  std::vector<EncoderSetting> choices;
  for (const int32_t rate : kbits) choices.push_back({rate, std::to_string(rate) + " kbit/s" + suffix});
  return choices;
}

int64_t MuxedEncoder::TargetBytesPerSecond() const {
  if (Running()) return BytesPerSecond(samplerate_, channels_, SettingFor(channels_));
  return BytesPerSecond(kIdleRate, 2, SettingFor(2));
}

int32_t MuxedEncoder::EncoderMetrics(int32_t info) {
  if (info == 1) return Running() ? samplerate_ * channels_ * 2 : -1;
  if (info == 0) return Running() ? channels_ * 2 : -1;
  return 0;
}

std::string MuxedEncoder::InitError() const { return initError_; }

EncoderResult MuxedEncoder::InitFailed(EncoderResult result, std::string cause) {
  initError_ = std::move(cause);
  return result;
}

EncoderResult MuxedEncoder::EncoderInit(int32_t samplerate, int16_t Channels, const std::string& output) {
  EncoderClose();
  initError_.clear();
  if (samplerate < 1 || Channels < 1 || Channels > 2) {
    return InitFailed(ENC_INIT_FAILED, "rate must be at least 1 Hz and channels 1 or 2");
  }
  const MuxerPlan plan = Plan(samplerate, Channels, SettingFor(Channels));
  const EncoderResult opened = muxer_.Open(plan, samplerate, Channels, output, outputRules_);
  if (opened != ENC_OK) return InitFailed(opened, muxer_.LastError());
  samplerate_ = samplerate;
  channels_ = Channels;
  syncPacer_.Restart();
  return ENC_OK;
}

EncoderResult MuxedEncoder::Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) {
  const int32_t frameBytes = channels_ * 2;
  // Also every non-empty block while idle: no second of input is known then.
  if (!Running() ? buffer_len > 0 : buffer_len > samplerate_ * frameBytes) return ENC_BUFFER_TOO_LARGE;
  buffer_used = 0;
  if (buffer_len == 0) return ENC_OK;
  if (buffer_ptr == nullptr || buffer_len < 0) return ENC_CONVERT_FAILED;
  const int32_t frames = buffer_len / frameBytes;
  buffer_used = frames * frameBytes;
  EncoderResult result = muxer_.Write(static_cast<const int16_t*>(buffer_ptr), frames);
  if (result == ENC_OK && syncPacer_.Due()) result = syncPacer_.Run([this] { return muxer_.SyncToDisk(); });
  return result;
}

EncoderResult MuxedEncoder::Checkpoint() {
  if (!Running()) return ENC_FILE_ERROR;
  return syncPacer_.Run([this] { return muxer_.Checkpoint(); });
}

EncoderResult MuxedEncoder::EncoderClose() {
  if (!Running()) return ENC_FILE_ERROR;
  const std::string path = muxer_.Path();
  const EncoderResult finished = muxer_.Finish();
  if (finished != ENC_OK) MendUnfinished(path);
  return finished;
}

EncoderResult MuxedEncoder::EncoderDiscard() {
  if (!Running()) return ENC_FILE_ERROR;
  return muxer_.Discard() ? ENC_OK : ENC_FILE_ERROR;
}
