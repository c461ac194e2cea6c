#include "encoding/EncoderFLAC.h"

#include "encoding/FlacFileRepair.h"

namespace {
constexpr int32_t kDefaultLevel = 5;
constexpr int32_t kHighestLevel = 8;
}  // namespace

EncoderFLAC::~EncoderFLAC() { EncoderClose(); }

std::vector<EncoderSetting> EncoderFLAC::SettingChoices() const {
  std::vector<EncoderSetting> choices;
  for (int32_t level = 0; level <= kHighestLevel; ++level) {
    std::string text = "压缩级别 " + std::to_string(level);
    if (level == 0) text += " (最快)";
    if (level == kDefaultLevel) text += " (默认)";
    if (level == kHighestLevel) text += " (最小)";
    choices.push_back({level, text});
  }
  return choices;
}

std::string EncoderFLAC::Description() const { return "FLAC 无损音频"; }
std::string EncoderFLAC::Extension() const { return "flac"; }

int32_t EncoderFLAC::DefaultSetting(int16_t) const { return kDefaultLevel; }

MuxerPlan EncoderFLAC::Plan(int32_t samplerate, int16_t, int32_t setting) const {
  return {.container = "flac", .codec = "flac", .outputRate = samplerate, .compressionLevel = setting};
}

int64_t EncoderFLAC::BytesPerSecond(int32_t samplerate, int16_t Channels, int32_t) const {
  return int64_t{samplerate} * Channels * 2;
}

void EncoderFLAC::MendUnfinished(const std::string& path) { FlacFileRepair::Repair(path); }
