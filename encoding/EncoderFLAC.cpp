#include "encoding/EncoderFLAC.h"

#include <QCoreApplication>

#include "common/FileTypes.h"
#include "encoding/FlacFileRepair.h"

namespace {
constexpr int32_t kDefaultLevel = 5;
constexpr int32_t kHighestLevel = 8;

std::string Tr(const char* text) { return QCoreApplication::translate("EncoderFLAC", text).toStdString(); }
}  // namespace

EncoderFLAC::~EncoderFLAC() { EncoderClose(); }

std::vector<EncoderSetting> EncoderFLAC::SettingChoices() const {
  std::vector<EncoderSetting> choices;
  for (int32_t level = 0; level <= kHighestLevel; ++level) {
    std::string text = QCoreApplication::translate("EncoderFLAC", "压缩级别 %1").arg(level).toStdString();
    if (level == 0) text += Tr(QT_TRANSLATE_NOOP("EncoderFLAC", " (最快)"));
    if (level == kDefaultLevel) text += Tr(QT_TRANSLATE_NOOP("EncoderFLAC", " (默认)"));
    if (level == kHighestLevel) text += Tr(QT_TRANSLATE_NOOP("EncoderFLAC", " (最小)"));
    choices.push_back({level, text});
  }
  return choices;
}

std::string EncoderFLAC::Description() const { return Tr(QT_TRANSLATE_NOOP("EncoderFLAC", "FLAC 无损音频")); }
std::string EncoderFLAC::Extension() const { return FileTypes::Of(FileTypes::TYPE_FLAC).extension; }

int32_t EncoderFLAC::DefaultSetting(int16_t) const { return kDefaultLevel; }

MuxerPlan EncoderFLAC::Plan(int32_t samplerate, int16_t, int32_t setting) const {
  const FileTypes::Row& flac = FileTypes::Of(FileTypes::TYPE_FLAC);
  return {.container = flac.muxer, .codec = flac.codec, .outputRate = samplerate, .compressionLevel = setting};
}

int64_t EncoderFLAC::BytesPerSecond(int32_t samplerate, int16_t Channels, int32_t) const {
  return int64_t{samplerate} * Channels * 2;
}

void EncoderFLAC::MendUnfinished(const std::string& path) { FlacFileRepair::Repair(path); }
