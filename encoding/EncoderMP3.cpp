#include "encoding/EncoderMP3.h"

#include <QCoreApplication>
#include <array>
#include <span>

#include "common/FileTypes.h"

namespace {
constexpr std::array<int32_t, 10> kBitRates = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320};  // kbit/s
constexpr int32_t kDefaultBitRate = 192;
// The rates of MPEG-2.5, MPEG-2 and MPEG-1 layer 3, ascending, and the highest bit rate each version carries.
constexpr std::array<int32_t, 9> kRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int32_t kMpeg25MaxKbits = 64;
constexpr int32_t kMpeg2MaxKbits = 160;
}  // namespace

std::vector<EncoderSetting> EncoderMP3::SettingChoices() const { return BitRateChoices(kBitRates, " CBR"); }

std::string EncoderMP3::Description() const {
  return QCoreApplication::translate("EncoderMP3", "MP3 音频").toStdString();
}
std::string EncoderMP3::Extension() const { return FileTypes::Of(FileTypes::TYPE_MP3).extension; }

int32_t EncoderMP3::DefaultSetting(int16_t) const { return kDefaultBitRate; }

int32_t EncoderMP3::OutputRate(int32_t samplerate, int32_t kbits) {
  const size_t lowest = kbits <= kMpeg25MaxKbits ? 0 : kbits <= kMpeg2MaxKbits ? 3 : 6;
  return LowestRateAtLeast(samplerate, std::span(kRates).subspan(lowest));
}

MuxerPlan EncoderMP3::Plan(int32_t samplerate, int16_t, int32_t setting) const {
  const FileTypes::Row& mp3 = FileTypes::Of(FileTypes::TYPE_MP3);
  return {.container = mp3.muxer,
          .codec = mp3.codec,
          .outputRate = OutputRate(samplerate, setting),
          .bitRate = int64_t{setting} * 1000,
          .containerOptions = {{"id3v2_version", "0"}},  // a plain file: no tag before the frames
          // A checkpoint keeps only the last frames of a fresh encoder: none may lean on the ones before.
          .catchUpOptions = {{"reservoir", "0"}}};
}

int64_t EncoderMP3::BytesPerSecond(int32_t, int16_t, int32_t setting) const { return BytesPerSecondAt(setting); }
