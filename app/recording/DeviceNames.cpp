#include "app/recording/DeviceNames.h"

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
