#include "encoding/EncoderOpus.h"

#include <QCoreApplication>
#include <array>

#include "common/FileTypes.h"

namespace {
constexpr std::array<int32_t, 5> kOpusRates = {8000, 12000, 16000, 24000, 48000};
constexpr std::array<int32_t, 8> kBitRates = {24, 32, 48, 64, 96, 128, 160, 192};  // kbit/s
}  // namespace

std::vector<EncoderSetting> EncoderOpus::SettingChoices() const { return BitRateChoices(kBitRates, ""); }

std::string EncoderOpus::Description() const {
  return QCoreApplication::translate("EncoderOpus", "Ogg Opus 音频").toStdString();
}
std::string EncoderOpus::Extension() const { return FileTypes::Of(FileTypes::TYPE_OPUS).extension; }

int32_t EncoderOpus::DefaultSetting(int16_t Channels) const { return Channels == 1 ? 48 : 96; }

MuxerPlan EncoderOpus::Plan(int32_t samplerate, int16_t, int32_t setting) const {
  const FileTypes::Row& opus = FileTypes::Of(FileTypes::TYPE_OPUS);
  return {.container = opus.muxer,
          .codec = opus.codec,
          .outputRate = LowestRateAtLeast(samplerate, kOpusRates),
          .bitRate = int64_t{setting} * 1000};
}

int64_t EncoderOpus::BytesPerSecond(int32_t, int16_t, int32_t setting) const { return BytesPerSecondAt(setting); }
