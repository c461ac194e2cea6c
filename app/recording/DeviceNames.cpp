#include "app/recording/DeviceNames.h"

#include <QCoreApplication>

#include "capture/WaveInRecorder.h"

QStringList DeviceNames::Listed(WaveInRecorder& recorder) {
  QStringList names;
  const int32_t count = recorder.DeviceCount();
  for (int32_t index = 0; index < count; ++index) {
    names << QStringLiteral("%1 (%2)").arg(QString::fromStdString(recorder.DeviceSourceName(index)),
                                          QString::fromStdString(recorder.DeviceName(index)));
  }
  return names;
}

std::optional<int32_t> DeviceNames::IndexOf(WaveInRecorder& recorder, const std::string& name) {
  for (int32_t index = 0; index < recorder.DeviceCount(); ++index) {
    if (recorder.DeviceName(index) == name || recorder.DeviceSourceName(index) == name) return index;
  }
  return std::nullopt;
}

std::string DeviceNames::Unknown(WaveInRecorder& recorder, const std::string& name) {
  // The recorder's own words for an unknown first device, so both inputs are refused alike.
  return QCoreApplication::translate("RecordingEngine", "找不到设备 \"%1\", 可用: %2")
      .arg(QString::fromStdString(name), Listed(recorder).join("; "))
      .toStdString();
}
