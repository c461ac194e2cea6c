#include "app/recording/RecordingFormat.h"

#include <QString>

int32_t RecordingFormat::ParseRate(const std::string& rateText) {
  bool ok = false;
  const int value = QString::fromStdString(rateText).trimmed().toInt(&ok);
  if (!ok || value < kMinRate || value > kMaxRate) return 0;
  return value;
}

std::optional<RecordingFormat> RecordingFormat::FromChoices(const std::string& rateText, bool stereo) {
  const int32_t rate = ParseRate(rateText);
  if (rate == 0) return std::nullopt;
  return RecordingFormat{rate, static_cast<int16_t>(stereo ? 2 : 1)};
}
